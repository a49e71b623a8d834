// Steps of the controller that belong to subsystems which have not landed yet: the settings
// window, the items menu, the overflow bar, the rule engine, interface review and the self-test commands. Each is
// called from where it belongs and does nothing until its subsystem fills it in.
#include "app/bar_controller.h"

namespace tucklet {

void BarController::openSettingsWindow() {}
void BarController::closeSettingsWindow() {}
void BarController::orderOutSettingsWindow() {}
bool BarController::settingsWindowVisible() const { return false; }

bool BarController::accessPopoverShown() const { return false; }
void BarController::closeAccessPopover() { accessPopover.reset(); }
void BarController::toggleOverflowBar() {}
void BarController::showItemsMenu() {}

void BarController::createFeatureRuntime() {}
void BarController::stopFeatureRuntime() {}
void BarController::reloadFeatureConfiguration() {}
void BarController::noteManualVisibilityChange() {}

void BarController::createInterfaceReview() {}
void BarController::runVerification(const std::string&) {}
void BarController::runSmokeTest() {}

}  // namespace tucklet
