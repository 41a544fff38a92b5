#pragma once

// Qt's own texts (the open-file dialog, the input box's buttons, the edit
// fields' menu) in Japanese, whatever the user's locale, as all of the
// program's own texts are. Call once, after the application object and
// before any window. Answers whether Qt's Japanese translations were found.
bool installJapaneseQtTexts();
