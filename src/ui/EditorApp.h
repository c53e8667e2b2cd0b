#pragma once
// The application: names the settings store and shows the main dialog modally.
namespace tavisk::ui {

class CEditorApp {
public:
    // Shows the main dialog until it closes; false, as the program then ends.
    bool InitInstance();
};

}  // namespace tavisk::ui
