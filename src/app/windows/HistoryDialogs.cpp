#include "HistoryDialogs.h"

#include "ActCommand.h"
#include "FormatText.h"
#include "TextTable.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace HistoryDialogs {

std::optional<Forget> askForget(QWidget *parent, const QString &shown)
{
    QDialog dialog(parent);
    dialog.setObjectName(u"frmHistoryForget"_s);
    dialog.setWindowTitle(Text(TextId::ForgetTitle));
    auto *one = new QRadioButton(
        FormatText(Text(TextId::ForgetShown), shown.isEmpty() ? u"-"_s : shown), &dialog);
    one->setObjectName(u"optForgetShown"_s);
    auto *all = new QRadioButton(Text(TextId::ForgetAll), &dialog);
    all->setObjectName(u"optForgetAll"_s);
    one->setEnabled(!shown.isEmpty());
    (shown.isEmpty() ? all : one)->setChecked(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, &dialog);
    buttons->addButton(Text(TextId::ForgetButton), QDialogButtonBox::AcceptRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(one);
    layout->addWidget(all);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const Forget which = one->isChecked() ? Forget::Shown : Forget::All;
    const QString question = which == Forget::Shown
                                 ? FormatText(Text(TextId::ForgetShownQuestion), shown)
                                 : Text(TextId::ForgetAllQuestion);
    if (!ActCommand::confirm(parent, question, QString(), Text(TextId::ForgetButton)))
        return std::nullopt;
    return which;
}

std::optional<Keeping> askKeeping(QWidget *parent, const Keeping &now)
{
    QDialog dialog(parent);
    dialog.setObjectName(u"frmHistorySettings"_s);
    dialog.setWindowTitle(Text(TextId::HistorySettingsTitle));
    auto *walks = new QSpinBox(&dialog);
    walks->setObjectName(u"spnHistoryKeep"_s);
    walks->setRange(0, 100000);
    walks->setSpecialValueText(Text(TextId::HistoryKeepAll));
    walks->setValue(now.walks);
    auto *walksLabel = new QLabel(Text(TextId::HistoryKeep), &dialog);
    walksLabel->setBuddy(walks);
    auto *thin = new QCheckBox(Text(TextId::HistoryThin), &dialog);
    thin->setObjectName(u"chkHistoryThin"_s);
    thin->setChecked(now.thin);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *form = new QFormLayout;
    form->addRow(walksLabel, walks);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(thin);
    auto *rule = new QLabel(Text(TextId::HistoryThinRule), &dialog);
    rule->setWordWrap(true);
    layout->addWidget(rule);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return Keeping{walks->value(), thin->isChecked()};
}

} // namespace HistoryDialogs
