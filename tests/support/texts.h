#pragma once

// What the world outside the launcher sees of it, typed here again on
// purpose rather than taken from the launcher's headers: a slip on either
// side makes a test fail. The French texts are the system's own, slips of
// spelling included ("d'intallation", "déja").

// Window classes, by which other programs find the windows.
namespace window_class {
constexpr wchar_t kMain[] = L"TForm1";
constexpr wchar_t kBoxOwner[] = L"TApplication"; // the hidden window that owns the boxes
constexpr wchar_t kBox[] = L"#32770";            // a task dialog, message box or folder chooser
constexpr wchar_t kFolderTree[] = L"SysTreeView32";
constexpr wchar_t kStandin[] = L"TarvikCondorStandIn"; // the stand-in simulator's window
} // namespace window_class

namespace text {

// The window and its controls.
constexpr wchar_t kCaption[] = L"Lanceur Tarvik";
constexpr wchar_t kConnect[] = L"Connexion";
constexpr wchar_t kAlertBox[] = L"Alerte sonore";
constexpr wchar_t kAutoConnectBox[] = L"Connexion automatique";
constexpr wchar_t kSiteLink[] = L"Le site du Vol du Tarvik";
constexpr wchar_t kCreditPrefix[] = L"V2.0";

// The status label.
constexpr wchar_t kOnline[] = L"Serveur en ligne";
constexpr wchar_t kOffline[] = L"Serveur hors ligne";
constexpr wchar_t kConnected[] = L"Connexion validée.";
constexpr wchar_t kNoAnswer[] = L"Le serveur ne répond pas.";
constexpr wchar_t kSuspended[] = L"Connexion suspendue";

// Titles of the boxes.
constexpr wchar_t kMessageTitle[] = L"Lanceur_tarvik";
constexpr wchar_t kQuestionTitle[] = L"Confirmer";
constexpr wchar_t kApplicationErrorTitle[] = L"Erreur d'application";

// The first run.
constexpr wchar_t kFirstRunMessage[] =
    L"Chemin vers Condor.exe non trouvé\r\nVeuillez sélectionner manuellement le répertoire\r\nd'intallation de "
    L"Condor3";
constexpr wchar_t kChooserPrompt[] = L"Sélectionnez l'emplacement de Condor.exe";
constexpr wchar_t kInstallDirWrongType[] = L"Type de données incorrect pour 'InstallDir'";
constexpr wchar_t kCannotWrite[] = L"Impossible d'écrire dans "; // then the file's path and "."

// The connection and the watch.
constexpr wchar_t kOtherInstance[] =
    L"Une autre instance de Condor3 est déja lancée. \r\nVeuillez la fermer avant de réessayer.";
constexpr wchar_t kStartFailedBefore[] = L"Problème au lancement du programme\r\nFichier ";
constexpr wchar_t kStartFailedAfter[] = L" absent ou corrompu.\r\nFermeture de l'application TarvikLauncher";
constexpr wchar_t kSimulatorClosed[] = L"Condor 3 a été fermé.\r\nVoulez vous quitter le lanceur?";

// The update.
constexpr wchar_t kUpdateQuestion[] =
    L"Le lanceur doit être mis à jour pour continuer.\r\nVoulez vous mettre à jour maintenant?";
constexpr wchar_t kUpdateFailed[] =
    L"La mise à jour n'a pas pu être téléchargée.\r\nRéessayez ultérieurement ou contactez le Tarvik pour plus "
    L"d'informations";

// Socket errors.
constexpr wchar_t kSocketError[] = L"Erreur de socket n° ";
constexpr wchar_t kMessageTooLong[] = L"Erreur de socket n° 10040\r\nMessage trop long.";
constexpr wchar_t kHostNotFound[] = L"Erreur de socket n° 11001\r\nHôte non trouvé.";

} // namespace text
