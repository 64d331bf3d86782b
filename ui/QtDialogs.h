#pragma once

#include <QPointer>
#include <QWidget>
#include <vector>

#include "core/Dialogs.h"

class QMessageBox;

namespace vigiltron {

// The program's dialogs as Qt shows them. A message only informs: it is shown without waiting,
// so the caller goes on, and the same message (text and title) already on screen is not shown a
// second time. Questions, prompts and folder choices wait for the user's answer.
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr);
    ~QtDialogs() override;
    QtDialogs(const QtDialogs&) = delete;
    QtDialogs& operator=(const QtDialogs&) = delete;

    // The window the dialogs are shown over; may be set once the main window exists.
    void SetParentWindow(QWidget* parent) { parent_ = parent; }

    void ShowMessage(const std::string& text, MessageIcon icon = MessageIcon::None,
                     bool systemModal = false, const std::string& title = kAppTitle) override;
    bool AskYesNo(const std::string& text, const std::string& title = kAppTitle,
                  bool defaultYes = true) override;
    std::optional<std::string> AskText(const std::string& prompt,
                                       const std::string& title = kAppTitle,
                                       const std::string& initial = "") override;
    std::optional<std::string> ChooseDirectory(const std::string& caption,
                                               const std::string& start = "") override;
    std::optional<std::string> ChooseFile(const std::string& title,
                                          const std::string& filter) override;
    // The replace question is the caller's, so the file dialog does not ask it a second time.
    std::optional<std::string> ChooseSaveFile(const std::string& title, const std::string& filter,
                                              const std::string& suggested) override;

    // A "Description|patterns|..." filter in Qt's form: "Description (patterns);;...". "*.*"
    // becomes "*" so that files without an extension are listed too.
    static QString QtFileFilter(const std::string& filter);

    // The message boxes on screen now, oldest first.
    std::vector<QMessageBox*> OpenMessages() const;
    int OpenMessageCount() const { return int(OpenMessages().size()); }

private:
    QPointer<QWidget> parent_;
    std::vector<QPointer<QMessageBox>> messages_;
};

}  // namespace vigiltron
