#include "platform/updates/appcast.h"

#include <charconv>

#include <QXmlStreamReader>

namespace tucklet::platform::updates {

namespace {

std::string text(QStringView view) {
  return view.toString().trimmed().toStdString();
}

bool isSparkle(const QXmlStreamReader& reader, QStringView name) {
  return reader.namespaceUri() == QLatin1String(sparkleNamespace) && reader.name() == name;
}

std::string sparkleAttribute(const QXmlStreamAttributes& attributes, const char* name) {
  return text(attributes.value(QLatin1String(sparkleNamespace), QLatin1String(name)));
}

std::uint64_t lengthOf(const std::string& value) {
  std::uint64_t length = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
  if (error != std::errc() || end != value.data() + value.size()) return 0;
  return length;
}

void readEnclosure(const QXmlStreamAttributes& attributes, UpdateItem& item) {
  item.fileURL = text(attributes.value(QLatin1String("url")));
  item.contentLength = lengthOf(text(attributes.value(QLatin1String("length"))));
  item.edSignature = sparkleAttribute(attributes, "edSignature");
  if (item.versionString.empty()) item.versionString = sparkleAttribute(attributes, "version");
  if (item.displayVersionString.empty())
    item.displayVersionString = sparkleAttribute(attributes, "shortVersionString");
}

// The children of one <item>; the reader stands on its start element.
UpdateItem readItem(QXmlStreamReader& reader) {
  UpdateItem item;
  std::string enclosureVersion, enclosureDisplay;
  while (reader.readNextStartElement()) {
    const bool plain = reader.namespaceUri().isEmpty();
    if (plain && reader.name() == QLatin1String("enclosure")) {
      UpdateItem fromEnclosure;
      readEnclosure(reader.attributes(), fromEnclosure);
      item.fileURL = fromEnclosure.fileURL;
      item.contentLength = fromEnclosure.contentLength;
      item.edSignature = fromEnclosure.edSignature;
      enclosureVersion = fromEnclosure.versionString;
      enclosureDisplay = fromEnclosure.displayVersionString;
      reader.skipCurrentElement();
    } else if (plain && reader.name() == QLatin1String("title")) {
      item.title = text(reader.readElementText(QXmlStreamReader::IncludeChildElements));
    } else if (plain && reader.name() == QLatin1String("description")) {
      item.itemDescription = text(reader.readElementText(QXmlStreamReader::IncludeChildElements));
    } else if (isSparkle(reader, u"version")) {
      item.versionString = text(reader.readElementText(QXmlStreamReader::IncludeChildElements));
    } else if (isSparkle(reader, u"shortVersionString")) {
      item.displayVersionString =
          text(reader.readElementText(QXmlStreamReader::IncludeChildElements));
    } else if (isSparkle(reader, u"releaseNotesLink")) {
      item.releaseNotesURL = text(reader.readElementText(QXmlStreamReader::IncludeChildElements));
    } else {
      reader.skipCurrentElement();
    }
  }
  // Elements of the item win over the enclosure's attributes, whichever came first.
  if (item.versionString.empty()) item.versionString = enclosureVersion;
  if (item.displayVersionString.empty()) item.displayVersionString = enclosureDisplay;
  if (item.displayVersionString.empty()) item.displayVersionString = item.versionString;
  return item;
}

std::string located(const QXmlStreamReader& reader, const std::string& what) {
  return "line " + std::to_string(reader.lineNumber()) + ", column " +
         std::to_string(reader.columnNumber()) + ": " + what;
}

}  // namespace

std::variant<Appcast, std::string> parseAppcast(std::string_view xml) {
  QXmlStreamReader reader(QByteArray(xml.data(), static_cast<qsizetype>(xml.size())));
  Appcast appcast;
  if (!reader.readNextStartElement()) {
    if (reader.hasError()) return located(reader, reader.errorString().toStdString());
    return std::string("the feed is empty");
  }
  if (reader.name() != QLatin1String("rss") || !reader.namespaceUri().isEmpty())
    return located(reader, "the document is <" + reader.qualifiedName().toString().toStdString() +
                               ">, not an RSS feed (<rss>)");
  bool channel = false;
  while (reader.readNextStartElement()) {
    if (reader.name() != QLatin1String("channel") || channel) {
      reader.skipCurrentElement();
      continue;
    }
    channel = true;
    while (reader.readNextStartElement()) {
      if (reader.name() == QLatin1String("item") && reader.namespaceUri().isEmpty()) {
        auto item = readItem(reader);
        if (!item.versionString.empty() && !item.fileURL.empty())
          appcast.items.push_back(std::move(item));
      } else {
        reader.skipCurrentElement();
      }
    }
  }
  // Whatever follows the document must be well-formed too: a feed cut off in transfer is not a
  // shorter feed.
  while (!reader.atEnd())
    reader.readNext();
  if (reader.hasError()) return located(reader, reader.errorString().toStdString());
  if (!channel) return std::string("the feed has no <channel>");
  return appcast;
}

}  // namespace tucklet::platform::updates
