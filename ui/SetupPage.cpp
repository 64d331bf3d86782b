#include "ui/SetupPage.h"

#include <QCheckBox>
#include <QLineEdit>

namespace vigiltron {

SetupPage::SetupPage(SetupWindowCommands commands, std::function<void()> commandDone,
                     QWidget* parent)
    : QWidget(parent), commands_(std::move(commands)), commandDone_(std::move(commandDone)) {}

QLineEdit* SetupPage::NewTextBox(const std::string& key, QWidget* owner) {
    auto* box = new QLineEdit(owner);
    box->setObjectName(QString::fromStdString(key));
    connect(box, &QLineEdit::textEdited, this, [this, key](const QString& typed) {
        Run(commands_.changeText, key, typed.toStdString());
    });
    return box;
}

QCheckBox* SetupPage::NewTickBox(const QString& caption, const std::string& key, QWidget* owner) {
    auto* box = new QCheckBox(caption, owner);
    box->setObjectName(QString::fromStdString(key));
    connect(box, &QCheckBox::clicked, this, [this, key](bool on) { Run(commands_.tick, key, on); });
    return box;
}

}  // namespace vigiltron
