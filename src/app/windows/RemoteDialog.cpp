#include "RemoteDialog.h"

#include "RemoteTexts.h"
#include "TextTable.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

RemoteDialog::RemoteDialog(const QStringList &recentMachines, const QString &folder,
                           QWidget *parent)
    : QDialog(parent)
    , m_machine(new QComboBox(this))
    , m_folder(new QLineEdit(folder.isEmpty() ? QStringLiteral("/") : folder, this))
    , m_problem(new QLabel(this))
{
    setObjectName(QStringLiteral("RemoteDialog"));
    setWindowTitle(Text(TextId::RemoteTitle));
    m_machine->setObjectName(QStringLiteral("machine"));
    m_machine->setEditable(true);
    m_machine->setInsertPolicy(QComboBox::NoInsert);
    m_machine->addItems(recentMachines);
    m_machine->setMinimumContentsLength(28);
    m_folder->setObjectName(QStringLiteral("folder"));
    auto *form = new QFormLayout;
    auto *machineLabel = new QLabel(Text(TextId::RemoteMachine), this);
    machineLabel->setBuddy(m_machine);
    auto *folderLabel = new QLabel(Text(TextId::RemoteFolder), this);
    folderLabel->setBuddy(m_folder);
    form->addRow(machineLabel, m_machine);
    form->addRow(folderLabel, m_folder);
    auto *note = new QLabel(Text(TextId::RemoteNote), this);
    note->setWordWrap(true);
    m_problem->setObjectName(QStringLiteral("problem"));
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b00000"));
    m_problem->hide();
    auto *buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &RemoteDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &RemoteDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);
    m_machine->setFocus();
}

QString RemoteDialog::machine() const
{
    return m_machine->currentText().trimmed();
}

QString RemoteDialog::folder() const
{
    const QString folder = m_folder->text();
    return folder.trimmed().isEmpty() ? QStringLiteral("/") : folder;
}

void RemoteDialog::accept()
{
    RemoteTarget target;
    const RemoteTarget::Problem problem = RemoteTarget::Parse(machine(), {}, target);
    if (problem != RemoteTarget::Problem::None) {
        m_problem->setText(TargetProblemText(problem, machine()));
        m_problem->show();
        m_machine->setFocus();
        return;
    }
    QDialog::accept();
}
