#pragma once

#include <QString>

#include <optional>

class QWidget;

// The two small dialogs of "Fichier > Historique".
namespace HistoryDialogs {

// What is to be forgotten: the shown folder's history, or all of it.
enum class Forget { Shown, All };
// Asks which, then asks again before anything goes; nullopt when the user gave up. `shown` names
// the shown folder; empty when it has no history, which leaves only "all".
std::optional<Forget> askForget(QWidget *parent, const QString &shown);

struct Keeping
{
    int walks = 0; // per folder; 0 keeps them all
    bool thin = false;
};
// The walks kept per folder and the thinning; nullopt when the user gave up.
std::optional<Keeping> askKeeping(QWidget *parent, const Keeping &now);

} // namespace HistoryDialogs
