#include "ExclusionsDialog.h"

#include "ExcludePatterns.h"
#include "TextTable.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

std::optional<QByteArrayList> AskExclusions(QWidget *parent, const QByteArrayList &now,
                                            bool walkShown)
{
    QDialog dialog(parent);
    dialog.setObjectName(u"frmExclusions"_s);
    dialog.setWindowTitle(Text(TextId::ExclusionsTitle));
    auto *rules = new QLabel(Text(TextId::ExclusionsRules), &dialog);
    rules->setWordWrap(true);
    auto *edit = new QPlainTextEdit(&dialog);
    edit->setObjectName(u"txtExclusions"_s);
    edit->setAccessibleName(Text(TextId::ExclusionsTitle));
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    // A name's bytes that are not UTF-8 would not survive the round through the editor.
    QStringList lines;
    for (const QByteArray &pattern : now)
        lines.append(QString::fromUtf8(pattern));
    edit->setPlainText(lines.join(u'\n'));
    rules->setBuddy(edit);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(rules);
    layout->addWidget(edit);
    if (walkShown) {
        auto *next = new QLabel(Text(TextId::ExclusionsNextWalk), &dialog);
        next->setObjectName(u"lblExclusionsNextWalk"_s);
        next->setWordWrap(true);
        layout->addWidget(next);
    }
    layout->addWidget(buttons);
    dialog.resize(560, 380);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return ExcludePatterns::FromLines(edit->toPlainText().toUtf8());
}
