#include "SystemErrorText.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

namespace {

constexpr std::array<std::pair<int, const char *>, 27> Texts = {{
    {EPERM, "opération non permise"},
    {ENOENT, "fichier ou dossier introuvable"},
    {EIO, "erreur d'entrée-sortie"},
    {ENXIO, "périphérique absent"},
    {E2BIG, "liste d'arguments trop longue"},
    {ENOMEM, "mémoire insuffisante"},
    {EACCES, "permission refusée"},
    {EBUSY, "ressource occupée"},
    {EEXIST, "le fichier existe déjà"},
    {EXDEV, "autre volume"},
    {ENODEV, "périphérique absent"},
    {ENOTDIR, "ce n'est pas un dossier"},
    {EISDIR, "c'est un dossier"},
    {EINVAL, "argument non valide"},
    {ENFILE, "trop de fichiers ouverts sur le système"},
    {EMFILE, "trop de fichiers ouverts"},
    {ETXTBSY, "fichier exécutable en cours d'utilisation"},
    {EFBIG, "fichier trop gros"},
    {ENOSPC, "plus de place sur le volume"},
    {EROFS, "volume en lecture seule"},
    {ENAMETOOLONG, "nom trop long"},
    {ENOTEMPTY, "le dossier n'est pas vide"},
    {ELOOP, "trop de liens symboliques"},
    {EDQUOT, "quota dépassé"},
    {ESTALE, "le fichier a changé entre-temps"},
    {ENOTSUP, "opération non prise en charge"},
    {ETIMEDOUT, "délai dépassé"},
}};

} // namespace

QString SystemErrorText(int error)
{
    for (const auto &[number, text] : Texts)
        if (number == error)
            return QString::fromUtf8(text);
    return QString::fromLocal8Bit(std::strerror(error));
}
