// The access panel's search field. `NativeItemSearch` describes it: the panel's query (read and
// written through it) and the three commands the keyboard gives (`move`, `submit`, `cancel`).
// `SearchField` is the text field, which takes the focus once it is placed in a window;
// `Coordinator` is its delegate: typed text goes into the query, and of the field editor's
// commands it handles the four that move, open and close, passing every other one on to the field.
#pragma once

#include <QLineEdit>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>

namespace tucklet {

struct NativeItemSearch {
  std::function<std::string()> query;
  std::function<void(const std::string&)> setQuery;
  std::function<void(int)> move;
  std::function<void()> submit;
  std::function<void()> cancel;

  // The commands a text field's editor sends for the keys that do not type.
  enum class Command { MoveDown, MoveUp, InsertNewline, CancelOperation, Other };

  class Coordinator;
  class SearchField;

  // A new field: placeholder and accessibility label "Search menu bar items", this value's
  // coordinator. `defer` runs work one turn of the main queue later.
  SearchField* makeField(QWidget* parent, std::function<void(std::function<void()>)> defer) const;
  // The panel drew again: the coordinator takes this value, so its commands are the current
  // ones, and the field shows the query (equal text is not set again).
  void updateField(SearchField& field) const;
};

class NativeItemSearch::Coordinator {
 public:
  explicit Coordinator(NativeItemSearch value) : parent(std::move(value)) {}

  // The latest value; replaced whenever the panel draws again.
  NativeItemSearch parent;

  // The field's text changed by typing.
  void textDidChange(const QString& text) const;
  // True when the command was handled; false lets the field editor perform it.
  bool doCommand(Command command) const;
};

class NativeItemSearch::SearchField final : public QLineEdit {
 public:
  SearchField(QWidget* parent, std::function<void(std::function<void()>)> defer);

  Coordinator& coordinator() { return *coordinator_; }
  void setCoordinator(std::unique_ptr<Coordinator> coordinator);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  // Placed in a window: asks that window, a turn later, to give the field the focus.
  void showEvent(QShowEvent* event) override;

 private:
  std::unique_ptr<Coordinator> coordinator_;
  std::function<void(std::function<void()>)> defer_;
};

}  // namespace tucklet
