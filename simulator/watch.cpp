#include "app/dialogs.h"
#include "app/form1.h"
#include "simulator/condor.h"

void TForm1::Timer2Timer(void* /*Sender*/)
{
    // The simulator's window title is the only sign that it still runs.
    if (::FindWindowW(nullptr, CondorWindowTitle(State.VersionCondor).c_str())) return;

    Timer2.SetEnabled(false); // no tick inside the question
    EtatCon.SetText(L"Connexion suspendue");
    Show();
    if (MessageDlg(app_, L"Condor 3 a été fermé.\r\nVoulez vous quitter le lanceur?") == mrYes) {
        Close();
    } else {
        Timer1.SetEnabled(true);
    }
}
