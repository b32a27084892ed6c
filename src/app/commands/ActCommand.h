#pragma once

#include "HeldPath.h"
#include "ItemRemoval.h"
#include "RemovalCheck.h"

#include <QByteArray>
#include <QObject>

#include <memory>
#include <optional>

class DriveScan;
class QMenu;
class QWidget;
class ScanController;
enum class TextId : quint16;

// The commands that change the disk or the records of an item the views show: walking a folder
// again, moving an item to the trash, deleting it for good. Each asks first, naming what it will
// touch; none runs during a scan, nor on a saved scan's items; the item is held from the volume's
// root down when the question is asked and acted on through what was held, after one more look;
// the work runs off the window's thread and every view follows.
class ActCommand : public QObject
{
    Q_OBJECT
public:
    ActCommand(ScanController *scans, QWidget *window);

    // Adds the commands' entries to an item's menu.
    void addEntries(QMenu *menu, const QByteArray &path);

    void refresh(const QByteArray &path);
    void moveToTrash(const QByteArray &path);
    void deletePermanently(const QByteArray &path);

    // The question before an act on the disk, over `window`: the button that does nothing is
    // the one Enter and Escape press. True when the user chose `action`.
    static bool confirm(QWidget *window, const QString &question, const QString &details,
                        const QString &action);
    // Why something was not done.
    static void warn(QWidget *window, const QString &text);

private:
    // An item the user is asked about: held, with what the questions say of it.
    struct Chosen
    {
        HeldPath held;
        QString amount;  // its size and files
        QString details; // the amount, and whether it changed since the scan
    };
    // Holds the item, or says why it may not go; `nothingDone` closes a message on what changed.
    std::optional<Chosen> choose(const QByteArray &path, TextId nothingDone);
    // Says why an act on the item did nothing, if a change or a rail refused it; false otherwise.
    bool toldRefusal(const QByteArray &item, const HeldPath::Check &changed, Refusal refusal,
                     TextId nothingDone);
    // The same, after the questions: what refuses the act then has changed meanwhile.
    bool toldActRefusal(const QByteArray &item, const ItemRemoval::Result &result,
                        TextId nothingDone);
    bool confirm(const QString &question, const QString &details, const QString &action)
    {
        return confirm(m_window, question, details, action);
    }
    // The steps after the trash was sized aside, and after the records followed the act.
    void trashSized(const std::shared_ptr<Chosen> &chosen, quint64 trashSize);
    void trashed(const std::shared_ptr<Chosen> &chosen, const ItemRemoval::Result &result);
    void deleteConfirmed(const std::shared_ptr<Chosen> &chosen);
    void deleted(const QByteArray &item, const ItemRemoval::Result &result);
    void warn(const QString &text) { warn(m_window, text); }

    ScanController *m_scans;
    QWidget *m_window;
};
