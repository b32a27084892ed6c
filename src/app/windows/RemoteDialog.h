#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;

// Asks which machine to walk and which of its folders: the machine as the user's ssh knows it,
// picked among the recent ones or typed; a name ssh could take for an option is refused here,
// the dialog staying open with the reason under the fields.
class RemoteDialog : public QDialog
{
    Q_OBJECT
public:
    RemoteDialog(const QStringList &recentMachines, const QString &folder, QWidget *parent);

    QString machine() const;
    QString folder() const; // "/" when left empty

    void accept() override;

private:
    QComboBox *m_machine;
    QLineEdit *m_folder;
    QLabel *m_problem;
};
