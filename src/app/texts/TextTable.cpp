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
    {1016, "Analyser un &dossier..."},
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
    {1036, "Taille sur &disque"},
    {1037, "Tailles sur disque (blocs occupés) plutôt que tailles des fichiers"},
    {1038, "%s - Taille sur disque"},
    {1039, "Total Scanné %s Mb, bien plus que l'Espace Utilisé du Disque %s Mb (fichiers creux) : "
           "voir Affichage > Taille > Taille sur disque"},
    {1040, "Les plus gros &fichiers"},
    {1041, "Les plus gros fichiers"},
    {1042, "%s Fichiers affichés sur %s Fichiers du disque"},
    {1043, "Aucun disque scanné"},
    {1044, "Taille sur disque"},
    {1050, "T&ypes de fichiers"},
    {1051, "Types de fichiers"},
    {1052, "Images disque"},
    {1053, "Type / extension"},
    {1054, "Fichiers"},
    {1055, "(sans extension)"},
    {1056, "[-%s-] : %s Fichiers, %s"},
    {1057, "Fichiers de %s, les plus gros d'abord (%s en tout) :"},
    {1058, "Types des fichiers du dossier et de ses sous-dossiers"},
    {1060, "Bilan du &disque"},
    {1061, "&Actualiser"},
    {1062, "Utilisé selon le volume\nCe que le système de fichiers compte comme occupé, sur %s "
           "octets en tout."},
    {1063, "Trouvé par le scan (sur disque)\nLa place sur disque des fichiers que le scan a vus ; "
           "leur contenu fait %s octets."},
    {1064, "Différence\nCe que le scan n'a pas vu, détaillé ci-dessous."},
    {1065, "Fichiers supprimés encore ouverts\n%s fichiers effacés qu'un programme tient encore "
           "ouverts : leur place ne revient qu'à leur fermeture."},
    {1066, "Sous les points de montage\nDes fichiers écrits dans un dossier avant qu'un autre "
           "volume y soit monté prennent la place de ce volume, mais aucun scan ne les voit. "
           "Taille inconnue ; à vérifier : %s"},
    {1067, "Illisibles\n%s dossiers et %s fichiers n'ont pu être lus : leur place n'est pas "
           "comptée."},
    {1068, "Reste\nLe système de fichiers lui-même (inodes, dossiers, journal), ses instantanés, "
           "et ce qui a changé depuis le scan."},
    {1069, "Scan au-dessus du volume\nLe scan et les fichiers ouverts dépassent ce que le volume "
           "dit utiliser. Les tailles étant prises sur disque, ni les fichiers creux, ni la "
           "compression, ni les liens physiques n'en sont la cause : le disque a changé depuis le "
           "scan."},
    {1070, "Blocs réservés\nGardés pour l'administrateur : sur ext4 ils ne comptent pas dans "
           "l'espace utilisé, ni donc dans la différence."},
    {1071, "%s processus n'ont pu être examinés (droits insuffisants) : ce qu'ils tiennent "
           "ouvert n'est pas compté."},
    {1072, "Processus"},
    {1073, "Examen des processus en cours..."},
    {1074, "Aucun scan de ce volume : lancez-en un pour comparer."},
    {1080, "&Ouvrir"},
    {1081, "Afficher dans le &gestionnaire de fichiers"},
    {1082, "&Copier le chemin"},
    {1083, "&Actualiser ce dossier"},
    {1084, "&Mettre à la corbeille"},
    {1085, "&Supprimer définitivement"},
    {1086, "Actualisation de %s"},
    {1087, "Actualisation arrêtée : %s est tel qu'avant."},
    {1088, "Mettre à la corbeille"},
    {1089, "Supprimer"},
    {1090, "O&uvrir un scan..."},
    {1091, "&Enregistrer le scan..."},
    {1092, "Co&mparer avec un scan..."},
    {1093, "(enregistré le %s)"},
    {1094, "Scans enregistrés (*.json *.gz *.zst);;Tous les fichiers (*)"},
    {1095, "Lecture du scan %s"},
    {1096, "Impossible de lire le scan %s : %s. Rien n'a été chargé."},
    {1097, "Enregistrement du scan dans %s"},
    {1098, "Impossible d'enregistrer le scan dans %s : %s"},
    {1099, "Aucun scan complet à enregistrer : scannez d'abord un volume."},
    {1100, "Mettre « %s » à la corbeille ?"},
    {1101, "%s, %s Fichiers."},
    {1102, "La corbeille est sur le même volume : la place ne sera libérée qu'une fois la "
           "corbeille vidée. Elle occupe aujourd'hui %s."},
    {1103, "Supprimer définitivement « %s » ? Cette suppression ne pourra pas être annulée."},
    {1104, "Dernière confirmation : « %s » et tout ce qu'il contient (%s) seront effacés du "
           "disque, sans passer par la corbeille."},
    {1105, "Attention : « %s » a changé depuis le scan (taille ou date)."},
    {1106, "Impossible de mettre « %s » à la corbeille : %s"},
    {1107, "Impossible de supprimer « %s » : %s"},
    {1108, "Ce volume n'a pas de corbeille utilisable (%s). Supprimer « %s » définitivement ?"},
    {1109, "%s éléments n'ont pu être supprimés ; le dossier a été actualisé. Les premiers :"},
    {1110, "La racine du volume n'est pas supprimée."},
    {1111, "« %s » est un point de montage, ou en contient un : un autre volume n'est pas "
           "touché."},
    {1112, "« %s » est une corbeille ou en contient une : videz-la depuis le gestionnaire de "
           "fichiers."},
    {1113, "« %s » n'appartient pas au volume scanné."},
    {1114, "« %s » n'existe plus sur le disque : actualisez son dossier."},
    {1115, "Rien n'est modifié pendant un scan."},
    {1116, "Évolution"},
    {1117, "nouveau"},
    {1118, "supprimé"},
    {1119, "%s depuis le %s"},
    {1120, "le fichier ne peut être lu"},
    {1121, "les données compressées sont abîmées"},
    {1122, "il se décompresse en bien plus qu'un scan de sa taille"},
    {1123, "le fichier s'arrête trop tôt"},
    {1124, "ce n'est pas le JSON attendu"},
    {1125, "une version du format que Quarnel ne lit pas"},
    {1126, "des dossiers imbriqués trop profondément"},
    {1127, "un nom trop long"},
    {1128, "un nombre hors limites"},
    {1129, "un échappement invalide dans un texte"},
    {1130, "le même nom deux fois dans un dossier"},
    {1131, "des données après la fin du scan"},
    {1132, "à l'octet %s, %s"},
    {1133, "Comparaison du volume affiché avec un scan enregistré : montrez d'abord le volume à "
           "comparer."},
    {1134, "Grossi ou nouveau"},
    {1135, "Réduit"},
    {1136, "Inchangé"},
    {1137, "« %s » a changé depuis l'analyse : %s. Rien n'a été supprimé."},
    {1138, "« %s » a changé depuis l'analyse : %s. Rien n'a été mis à la corbeille."},
    {1139, "« %s » a changé depuis l'analyse : %s. Rien n'a été actualisé."},
    {1140, "il n'existe plus"},
    {1141, "c'est maintenant un lien symbolique"},
    {1142, "il a été renommé ou remplacé"},
    {1143, "un autre volume, ou un autre montage de celui-ci, s'y trouve"},
    {1144, "ce n'est plus un dossier"},
    {1145, "il ne peut plus être ouvert (%s)"},
    {1146, "« %s » appartient à un scan enregistré : il n'est sur aucun disque de cette machine, "
           "et Quarnel n'y touche pas."},
    {1147, "« %s » est un lien symbolique"},
    {1148, "« %s » appartient à un autre utilisateur"},
    {1149, "« %s » est sur un autre volume"},
    {1150, "%s octet"},
    {1151, "%s octets"},
    {1152, "un autre volume, ou un autre montage de celui-ci, y a été monté"},
    {1153, "Autres fichiers et journaux"},
    {1154, "%s fichier, %s"},
    {1155, "%s fichiers, %s"},
    {1156, "[-%s-] : comptage des fichiers…"},
    {1157, "Autre nom d'un fichier déjà compté : ses octets ne sont comptés qu'une fois, à son "
           "premier nom."},
    {1163, "Scan enregistré : son volume n'est pas celui de cette machine, seul ce que le scan a "
           "trouvé est montré, sans comparaison."},
    {1164, "Dossier scanné seul : son volume contient aussi ce qui est hors du dossier, seul ce "
           "que le scan a trouvé et les points de montage du dossier sont montrés, sans "
           "comparaison avec l'espace utilisé du volume."},
    {1173, "&Ne plus comparer"},
    {1174, "Le scan « %s » a été fait sur %s, et non sur le volume affiché (%s) : ses éléments "
           "ne se retrouveront sans doute pas ici. Comparer quand même ?"},
    {1175, "&Oui"},
    {1176, "&Non"},
    {1177, "illisible"},
    {1178, "Illisible"},
    {1183, "Dont %s disparus ou déplacés pendant le scan : un nouveau scan les retrouve."},
    {1184, "%s d'entre eux ont disparu ou changé de place pendant le scan : un nouveau scan les "
           "compte."},
    {1185, "En direct"},
    {1186, "En direct : %s depuis le scan"},
    {1187, "Suivi en direct impossible : %s"},
    {1188, "ce système de fichiers ne signale pas les changements faits ailleurs"},
    {1189, "plus de dossiers que le système ne permet d'en surveiller "
           "(fs.inotify.max_user_watches)"},
    {1190, "Suivi en direct interrompu : %s"},
    {1191, "Les changements du volume s'affichent d'eux-mêmes, sans nouveau scan. « Actualiser "
           "ce dossier » reste possible."},
    {1192, "Ce qui &grandit"},
    {1193, "Ce qui grandit"},
    {1194, "Dernière minute"},
    {1195, "Dernière heure"},
    {1196, "Depuis le scan"},
    {1197, "Croissance"},
    {1198, "Débit"},
    {1199, "%s octets/s"},
    {1200, "Rien n'a changé de taille pendant cette période."},
    {1201, "Le volume affiché n'est pas suivi en direct : scannez-le pour voir ce qui grandit."},
    {1202, "&Colorier la carte selon cette croissance"},
    {1203, "Fichiers en d&ouble"},
    {1204, "Fichiers en double"},
    {1205, "Dossier cherché : %s"},
    {1206, "Taille &minimale :"},
    {1207, " Mb"},
    {1208, "&Arrêter"},
    {1209, "C&hercher"},
    {1210, "Recherche des fichiers de même taille…"},
    {1211, "Lecture : %s sur %s"},
    {1212, "Lecture : %s sur %s, encore environ %s"},
    {1213, "%s s"},
    {1214, "%s min"},
    {1215, "%s h %s min"},
    {1216, "Groupes de fichiers identiques : %s, à libérer : %s ; fichiers comparés : %s"},
    {1217, "Groupes de fichiers identiques : %s, à libérer : %s ; fichiers comparés : %s, "
           "illisibles : %s"},
    {1218, "Fichiers laissés hors de la comparaison :"},
    {1219, "a changé depuis le scan"},
    {1220, "Recherche arrêtée : « Chercher » la reprend depuis le début."},
    {1221, "&Fichiers"},
    {1222, "&Dossiers qui se copient"},
    {1223, "Copies"},
    {1224, "À libérer"},
    {1225, "%s copies"},
    {1226, "partagés"},
    {1227, "%s noms"},
    {1228, "Ses blocs sont partagés avec une autre copie : l'enlever ne libère rien."},
    {1229, "Identique"},
    {1230, "En commun"},
    {1231, "  ⇔  "},
    {1232, "%s %%"},
    {1233, "&Garder un seul exemplaire :"},
    {1234, "le plus ancien"},
    {1235, "le plus récent"},
    {1236, "celui sélectionné"},
    {1237, "Les autres à la &corbeille"},
    {1238, "&Supprimer les autres"},
    {1239, "&Remplacer par des liens partagés"},
    {1240, "Sélectionnez la copie à garder."},
    {1241, "Le système de fichiers de ce dossier ne sait pas partager les blocs d'un fichier entre "
           "plusieurs noms."},
    {1242, "Garder un seul exemplaire et mettre les autres copies à la corbeille ?"},
    {1243, "Garder un seul exemplaire et supprimer définitivement les autres copies ? Cette "
           "suppression ne pourra pas être annulée."},
    {1244, "Dernière confirmation : %s copies (%s) seront effacées du disque, sans passer par la "
           "corbeille."},
    {1245, "Remplacer les autres copies par des liens partagés ? Chaque nom reste en place ; les "
           "copies partagent les blocs de l'exemplaire gardé."},
    {1246, "Partager"},
    {1247, "Gardé : %s"},
    {1248, "Enlevées :"},
    {1249, "… et %s de plus"},
    {1250, "Chaque copie est comparée octet par octet avec l'exemplaire gardé juste avant d'être "
           "touchée ; une copie qui a changé reste en place. Place libérée : environ %s."},
    {1251,
     "La corbeille est sur le même volume : la place ne revient qu'une fois la corbeille vidée."},
    {1252, "%s copies ont été laissées en place :"},
    {1253, "« %s » n'est plus identique à l'exemplaire gardé"},
    {1254, "« %s » a changé depuis la recherche : %s"},
    {1255, "« %s », ou l'exemplaire gardé, a changé depuis la recherche"},
    {1256, "« %s » : ce système de fichiers ne peut pas partager ses blocs"},
    {1257, "« %s » : %s"},
    {1258, "« %s » n'a pas été traité"},
    {1259, "Partage des blocs des copies"},
    {1260, "Scan enregistré : ses fichiers ne sont sur aucun disque de cette machine, rien n'est "
           "comparé."},
    {1261, "« %s » est un autre nom de l'exemplaire gardé"},
    {1262, "Dernière confirmation : une copie (%s) sera effacée du disque, sans passer par la "
           "corbeille."},
    {1263, "Une copie a été laissée en place :"},
    {1264, "« %s » a d'autres noms : sa place ne revient qu'une fois le dernier enlevé."},
    {1265, "&Historique"},
    {1266, "Historique"},
    {1267, "Dossier : %s"},
    {1268, "Taille des fichiers"},
    {1269, "Taille sur disque"},
    {1270, "%s\nTaille des fichiers : %s\nTaille sur disque : %s\nFichiers : %s"},
    {1271, "&Du"},
    {1272, "a&u"},
    {1273, "Sous-dossier"},
    {1274, "Avant"},
    {1275, "Après"},
    {1276, "&Comparer la liste au relevé du %s"},
    {1277, "Aucun relevé de ce dossier dans l'historique : chaque analyse complète de son volume "
           "en ajoute un."},
    {1278, "Un seul relevé de ce dossier, le %s : l'évolution se lit à partir du deuxième."},
    {1279, "%s relevés, du %s au %s. Cliquez un point pour la première date, puis un autre (ou "
           "Maj+clic) pour la seconde."},
    {1280, "L'analyse n'a pas pu être ajoutée à l'historique : %s"},
    {1281, "L'historique ne peut pas être lu : %s"},
    {1282, "le fichier %s est endommagé ; « Fichier > Historique > Effacer... » le met de côté et "
           "en commence un neuf"},
    {1283, "le fichier %s est tenu par un autre programme"},
    {1284, "le fichier %s ne peut pas être écrit (lecture seule)"},
    {1285, "le disque du fichier %s est plein"},
    {1286, "le fichier %s a été écrit par une version plus récente de Quarnel"},
    {1287, "le module SQLite de Qt n'est pas installé"},
    {1288, "le fichier %s ne peut pas être ouvert"},
    {1289, "le scan enregistré ne dit pas quand il a été fait"},
    {1290, "le fichier %s a répondu : %s"},
    {1291, "&Historique"},
    {1292, "&Ajouter à l'historique"},
    {1293, "&Réglages..."},
    {1294, "&Effacer..."},
    {1295, "Scan ajouté à l'historique de %s."},
    {1296, "Effacer l'historique"},
    {1297, "L'historique du dossier &affiché : %s"},
    {1298, "&Tout l'historique, de tous les dossiers"},
    {1299, "Effacer l'historique de « %s » ? Ses relevés ne pourront pas être retrouvés."},
    {1300, "Effacer tout l'historique, de tous les dossiers ? Ses relevés ne pourront pas être "
           "retrouvés."},
    {1301, "Effacer"},
    {1302, "Réglages de l'historique"},
    {1303, "Relevés &gardés par dossier :"},
    {1304, "tous"},
    {1305, "É&claircir les anciens relevés"},
    {1306, "Sous-dossiers qui ont le plus grandi du %s au %s :"},
    {1307, "inconnu"},
    {1308, "%s n'est sur aucun volume que Quarnel sache reconnaître : son historique ne peut pas "
           "être tenu."},
    {1309, "Lecture de l'historique…"},
    {1310, "Historique effacé."},
    {1311, "L'historique n'a pas pu être effacé : %s"},
    {1312, "Taille (%s)"},
    {1313, "Ce dossier n'est plus affiché : choisissez-en un dans l'arborescence."},
    {1314, "Aucun historique pour %s."},
    {1315, "Le fichier endommagé a été mis de côté : %s"},
    {1316, "Sous-dossiers et leur évolution"},
    {1317, "Restent alors tous ceux des 30 derniers jours, puis le dernier de chaque jour, et "
           "après un an le dernier de chaque semaine. Les réglages valent après chaque analyse."},
    {1318, "Premier relevé choisi : %s. Cliquez le second."},
    {1319, "exclu"},
    {1320, "Laissé de côté par une exclusion (Affichage > Exclusions...) : ni parcouru ni compté."},
    {1321, "E&xclusions..."},
    {1322, "Exclusions"},
    {1323, "Un motif par ligne, comme pour ncdu --exclude : * remplace n'importe quels caractères "
           "(/ compris), ? un seul, [abc] l'un de ceux-là, [!abc] tout autre, \\ rend au "
           "caractère suivant son sens propre. Le motif vaut pour le chemin entier d'un élément "
           "et pour chaque fin de ce chemin qui commence après un / : « node_modules » écarte "
           "tous les éléments de ce nom, « *.tmp » tous ces fichiers, « /home/*/.cache » ces "
           "dossiers-là seulement. Ce qui est exclu n'est ni parcouru ni compté."},
    {1324, "Les exclusions valent pour les prochains scans : appuyez sur F5 pour scanner à "
           "nouveau le volume affiché."},
    {1325, "Exclus\n%s éléments écartés par les exclusions n'ont été ni parcourus ni comptés ; "
           "leur place n'est pas mesurée. Entre autres : %s"},
    {1326, "Analyser un &serveur..."},
    {1327, "Analyser un serveur"},
    {1328, "&Machine :"},
    {1329, "&Dossier :"},
    {1330, "La machine telle que votre ssh la connaît : un alias de ~/.ssh/config, hôte, "
           "utilisateur@hôte ou hôte:port. Il faut une clé (dans l'agent ou un fichier) : Quarnel "
           "ne demande ni ne garde aucun mot de passe. La machine parcourt le dossier avec "
           "quarnel-scan, ou ncdu à défaut."},
    {1331, "Connexion à %s…"},
    {1332, "Analyse de %s par %s : %s éléments lus, %s Mo reçus"},
    {1333, "%s parcouru par %s : %s éléments."},
    {1334, "Analyse de %s arrêtée : rien n'a été ajouté."},
    {1335, "Impossible d'analyser %s : %s. Rien n'a été ajouté."},
    {1336, "ssh ne peut pas être lancé (%s) ; installez openssh-client"},
    {1337, "la machine « %s » est inconnue, son nom ne mène à aucune adresse"},
    {1338, "la clé de la machine n'est pas encore connue : connectez-vous une fois avec ssh dans "
           "un terminal pour la vérifier et l'accepter"},
    {1339, "la clé de la machine a changé depuis la dernière connexion, ce qui peut être une "
           "réinstallation ou une usurpation : vérifiez-la avant de corriger ~/.ssh/known_hosts"},
    {1340, "la machine n'accepte aucune de vos clés (aucun mot de passe n'est demandé) : chargez "
           "la clé dans l'agent, ou ajoutez-la à ~/.ssh/authorized_keys sur la machine"},
    {1341, "la connexion est refusée : aucun serveur ssh n'écoute à ce port"},
    {1342, "la machine ne répond pas"},
    {1343, "ni quarnel-scan ni ncdu n'y sont installés : installez l'un des deux (apt install "
           "quarnel-scan, ou ncdu)"},
    {1344, "le dossier « %s » n'y existe pas"},
    {1345,
     "la connexion ou l'analyse s'est interrompue avant la fin, le scan incomplet est écarté"},
    {1346, "ce qui est arrivé n'est pas un scan valide, %s"},
    {1347, " (ssh : « %s »)"},
    {1348, "ssh s'est arrêté sans dire pourquoi"},
    {1349, "Indiquez la machine à analyser."},
    {1350, "« %s » commence par un tiret : ssh le prendrait pour une option."},
    {1351, "« %s » n'est pas un nom de machine : ni espace, ni guillemet, ni barre oblique."},
    {1352, "Le port, après les deux-points, est un nombre de 1 à 65535."},
    {1353, "Analyse de %s : %s éléments lus, %s Mo reçus"},
    {1354, "%s parcouru : %s éléments."},
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
