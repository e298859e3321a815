#include "server/poll.h"

#include <mmsystem.h>

#include "app/form1.h"
#include "app/site.h"

void TForm1::Timer1Timer(void* /*Sender*/)
{
    EffacerMiseAJour();
    // Back to the usual period after the longer one that follows a refused
    // connection; the same value leaves the running period alone.
    Timer1.SetInterval(kPollPeriodMs);
    IdUDPClient1.Host = kStatusHost;
    IdUDPClient1.Port = kStatusPort;
    IdUDPClient1.ReceiveTimeout = kReplyWaitMs;
    Envoi(kPollRequest);

    if (State.Commande == L"SP") {
        EtatCon.SetText(kOnlineText);
        Update(); // the label shows before the pause below holds the thread
        State.VersionCondor = State.Argument;
        if (!State.PresenceServer && State.Alerte) {
            // No SND_NODEFAULT: without the file the system's sound plays,
            // and the pause is the same either way.
            ::PlaySoundW(kAlertSound, nullptr, SND_FILENAME | SND_ASYNC);
            ::Sleep(kAlertPauseMs);
        }
        State.PresenceServer = true;
        Connect.SetEnabled(true);
        // After every online reply, not only the first one.
        if (State.AutoConnect) ConnectClick(&Timer1);
    } else if (State.Commande == L"MJ") {
        MiseAJour();
    } else {
        EtatCon.SetText(kOfflineText);
        State.PresenceServer = false;
        Connect.SetEnabled(false);
    }
}
