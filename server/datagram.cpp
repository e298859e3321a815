#include "server/datagram.h"

#include <iterator>

std::string EncodeRequest(std::wstring_view request)
{
    std::string bytes;
    bytes.reserve(request.size());
    for (wchar_t c : request) bytes.push_back(c <= 0x7F ? static_cast<char>(c) : '?');
    return bytes;
}

std::wstring DecodeReply(std::string_view reply)
{
    std::wstring text;
    text.reserve(reply.size());
    for (char c : reply) {
        const auto byte = static_cast<unsigned char>(c);
        text.push_back(byte <= 0x7F ? static_cast<wchar_t>(byte) : L'\uFFFD');
    }
    return text;
}

Reply SplitReply(std::wstring_view reply)
{
    Reply split;
    split.command = reply.substr(0, 2);
    if (reply.size() > 2) split.argument = reply.substr(2);
    return split;
}

namespace {

struct Description {
    int code;
    const wchar_t* text;
};

constexpr Description kDescriptions[] = {
    {10004, L"Appel système interrompu."},
    {10009, L"Nombre de fichiers incorrect."},
    {10013, L"Accès refusé."},
    {10014, L"Erreur de tampon."},
    {10022, L"Argument non valide."},
    {10024, L"Trop de fichiers ouverts."},
    {10035, L"L'opération risquerait de bloquer."},
    {10036, L"Opération maintenant en cours."},
    {10037, L"Opération déjà en cours."},
    {10038, L"Opération socket sur cible non-socket."},
    {10039, L"Adresse de destination demandée."},
    {10040, L"Message trop long."},
    {10041, L"Type de protocole inapproprié pour le socket."},
    {10042, L"Option de protocole incorrecte."},
    {10043, L"Protocole non supporté."},
    {10044, L"Type de socket non supporté."},
    {10045, L"Opération non supportée sur un socket."},
    {10046, L"Famille de protocole non supportée."},
    {10047, L"Famille d'adresse non supportée par la famille de protocole."},
    {10048, L"Adresse déjà utilisée."},
    {10049, L"Impossible d'assigner l'adresse demandée."},
    {10050, L"Le réseau est arrêté."},
    {10051, L"Le réseau est inaccessible."},
    {10052, L"Connexion interrompue ou réinitialisée par le réseau."},
    {10053, L"Le logiciel a provoqué l'interruption de la connexion."},
    {10054, L"Connexion réinitialisée par l'homologue (peer)."},
    {10055, L"Aucun espace tampon disponible."},
    {10056, L"Le socket est déjà connecté."},
    {10057, L"Le socket n'est pas connecté."},
    {10058, L"Envoi ou réception impossible après la fermeture du socket."},
    {10059, L"Références trop nombreuses, attribution impossible."},
    {10060, L"Délai de connexion dépassé."},
    {10061, L"Connexion refusée."},
    {10062, L"Trop de niveaux de liens symboliques."},
    {10063, L"Nom de fichier trop long."},
    {10064, L"Hôte arrêté."},
    {10065, L"Pas de route vers l'hôte."},
    {10066, L"Répertoire non vide"},
    {11001, L"Hôte non trouvé."},
};

} // namespace

std::wstring SocketErrorText(int code)
{
    std::wstring text = L"Erreur de socket n° " + std::to_wstring(code) + L"\r\n";
    for (const Description& description : kDescriptions)
        if (description.code == code) text += description.text;
    return text;
}
