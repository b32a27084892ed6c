#include "TextTable.h"

#include <algorithm>
#include <iterator>

namespace {

struct Entry
{
    int id;
    const char *utf8;
};

// Sorted by id, so that a look-up is a binary search.
constexpr Entry Texts[] = {
    {101, "Erreur"},
    {202, "Le Systeme d'Information est indisponible"},
    {301, "%s Repertoires Scannés"},
    {302, "Espace Disque Libre : %s Mb "},
    {303, "Espace Disque Total : %s Mb "},
    {304, "Scan Repertoire : "},
    {305, "Arrêter Scan du Disque [-%s-]"},
    {306, "Arrêter Scan avant de Quitter"},
    {308, "Disque Scanné [-%s-]"},
    {309, "Nom"},
    {310, "Taille"},
    {311, "Poucentage"},
    {312, "Date"},
    {313, "Comparer Taille avec Taille du Disque"},
    {314, "Comparer Taille avec Taille du Repertoire Parent"},
    {315, "Arrêter Scan"},
    {316, "Monter"},
    {317, "Rescanner Disque"},
    {318, "Page. "},
    {319, "Disque [-%s-] Répertoire [-%s-]"},
    {320, "Impression en cours..."},
    {321, "Imprime le contenu du répertoire"},
    {322, "%s Repertoires Scannés, %s Illisibles"},
    {323, "Repertoires ou fichiers illisibles (droits ou erreurs de lecture) :"},
    {1000, "&Fichier"},
    {1001, "&Quitter"},
    {1002, "A&ffichage"},
    {1003, "&Barre d'outils"},
    {1004, "&Barre de Status"},
    {1005, "&Taille"},
    {1006, "&Comparer Taille avec Taille du Disque"},
    {1007, "Comparer Taille avec Taille du Repertoire &Parent"},
    {1008, "&Scanner Disque"},
    {1009, "&Aide"},
    {1010, "&Index..."},
    {1011, "&A Propos..."},
    {1012, "&Arrêter Scan"},
    {1013, "&Imprimer Contenu du Répertoire"},
    {1014, "&Rescanner Disque"},
    {1015, "T&rier par"},
    {1016, "&Analyser un dossier..."},
    {1017, "Choisir le dossier à analyser"},
    {1018, "%s n'est pas un dossier que Quarnel peut analyser."},
    {1019, "&Carte des fichiers"},
    {1020, "Carte des fichiers"},
    {1021, "Images"},
    {1022, "Vidéos"},
    {1023, "Sons"},
    {1024, "Archives"},
    {1025, "Documents"},
    {1026, "Code source"},
    {1027, "Programmes et bibliothèques"},
    {1028, "Autres fichiers"},
    {1029, "Dossiers et petits fichiers"},
    {1030, "Scan en cours : %s Repertoires, %s Fichiers, %s Kb comptés en %s s"},
    {1031, "&Rechercher..."},
    {1032, "Rechercher des fichiers"},
    {1033, "&Nom ou partie du nom (* et ? acceptés) :"},
    {1034, "%s Fichiers trouvés"},
    {1035, "Dossier"},
    {1050, "&Types de fichiers"},
    {1051, "Types de fichiers"},
    {1052, "Images disque"},
    {1053, "Type / extension"},
    {1054, "Fichiers"},
    {1055, "(sans extension)"},
    {1056, "[-%s-] : %s Fichiers, %s"},
    {1057, "Fichiers de %s, les plus gros d'abord (%s en tout) :"},
    {1058, "Types des fichiers du dossier et de ses sous-dossiers"},
};

static_assert(std::is_sorted(std::begin(Texts), std::end(Texts),
                             [](const Entry &a, const Entry &b) { return a.id < b.id; }));

} // namespace

QString TextTable::text(TextId id)
{
    return text(static_cast<int>(id));
}

QString TextTable::text(int id)
{
    const auto *it = std::lower_bound(std::begin(Texts), std::end(Texts), id,
                                      [](const Entry &e, int wanted) { return e.id < wanted; });
    if (it == std::end(Texts) || it->id != id)
        return {};
    return QString::fromUtf8(it->utf8);
}
