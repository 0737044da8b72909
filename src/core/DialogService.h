#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include "core/WebAddress.h"
#include <functional>

// Every modal box, popup menu, file chooser and URL launch of the program goes
// through this one replaceable service, so that tests can record what would
// have been shown and script the user's answer. The default implementation
// uses the framework's synchronous calls.
class DialogService
{
public:
    enum class Icon { none, info, warning, question };
    enum class ChooserMode { openFile, saveFile, saveFileConfirmOverwrite, chooseFolder };

    virtual ~DialogService() = default;

    // Shows a modal box and returns the index of the button pressed (0 = first),
    // or -1 when it was dismissed without a button. With two buttons Return presses the
    // first and Escape the second; with three, Return presses the second and Escape the third.
    virtual int showMessageBox (Icon icon, const juce::String& title, const juce::String& message,
                                const juce::StringArray& buttons, juce::Component* associated) = 0;

    // Shows the same box without running a modal loop: returns at once and calls `onClose`
    // (when set) with the button index once the box has closed. By default the box goes
    // through showMessageBox, which suits services that answer at once.
    virtual void showMessageBoxAsync (Icon icon, const juce::String& title, const juce::String& message,
                                      const juce::StringArray& buttons, juce::Component* associated,
                                      std::function<void (int)> onClose);

    // Closes the open boxes with this title as though they were dismissed, for a box whose
    // text has become false. Services that answer every box at once have none open.
    virtual void withdrawMessageBoxes (const juce::String& title) { juce::ignoreUnused (title); }

    // Shows a popup menu modally; returns the chosen item id, 0 for none.
    virtual int showPopupMenu (const juce::PopupMenu& menu, juce::Component* target) = 0;

    // A context or drop menu: shown at the mouse pointer and kept inside the target's
    // window. Without its own version a service shows it as any other menu.
    virtual int showPopupMenuAtPointer (const juce::PopupMenu& menu, juce::Component* target)
    {
        return showPopupMenu (menu, target);
    }

    // A context menu opened by a press: shown as showPopupMenuAtPointer shows it, but without
    // a modal loop, so the press handler returns at once. `onChosen` gets the chosen item id
    // (0 for none) once the menu has closed, unless the target has gone by then. By default
    // the menu goes through showPopupMenuAtPointer, which suits services that answer at once.
    virtual void showPopupMenuAtPointerAsync (const juce::PopupMenu& menu, juce::Component* target,
                                              std::function<void (int)> onChosen);

    // Runs a file chooser modally; returns the chosen file, or a default File when cancelled.
    virtual juce::File chooseFile (ChooserMode mode, const juce::String& title,
                                   const juce::File& initial, const juce::String& patterns) = 0;

    // Opens a web address in the browser or a local file in its viewer.
    virtual bool openUrl (const juce::String& address) = 0;

    // Runs a dialog window modally with the given content; returns its modal result.
    virtual int runModalDialog (juce::DialogWindow::LaunchOptions& options) = 0;

    // Runs a dialog window of the program's own (made without a desktop peer) modally:
    // puts it on the desktop, shows it and returns its modal result.
    virtual int runModalWindow (juce::DialogWindow& window);

    // A file chooser for opening several files at once; returns the chosen files, none
    // when cancelled.
    virtual juce::Array<juce::File> chooseFilesToOpen (const juce::String& title, const juce::File& initial,
                                                       const juce::String& patterns);

    // Shows a modal box with a message and one labelled text field filled with `text`;
    // returns the index of the button pressed (0 = first; Return presses the first, Escape
    // the last) or -1, and leaves what the user typed in `text`.
    virtual int showTextInputBox (const juce::String& title, const juce::String& message,
                                  const juce::String& fieldLabel, juce::String& text,
                                  const juce::StringArray& buttons, juce::Component* associated);
};

// The service in force: the one installed, else the framework-backed default.
DialogService& getDialogService();

// Puts a service in force in place of the one before (null: the default). The caller keeps
// ownership. Safe from any thread.
void setDialogService (DialogService* service);

// A service that shows nothing and answers everything at once as dismissed (-1, no menu item,
// no file, not opened). Once the program ends after a fatal error it is the one in force, so
// that no box or dialog opens but the one that reports the error.
DialogService& getRefusingDialogService();

// The same, except that every box and dialog asked for is written to the error output instead.
// A quit by a signal puts it in force: nobody may be there to answer, and the quit goes on.
DialogService& getReportingDialogService();

// Writes a box's title and text to the error output, for a user who cannot be shown it.
void writeBoxToErrorOutput (const juce::String& title, const juce::String& message);

// Repaints every window of the program. An X server without backing store keeps the pixels
// of a closed box, dialog or menu on the windows below it until they repaint.
void repaintAllWindows();
