#include "app/form1.h"
#include "server/datagram.h"

std::wstring TForm1::Envoi(const std::wstring& Message)
{
    State.Commande.clear();
    State.Argument.clear();
    const std::wstring reply = DecodeReply(IdUDPClient1.Exchange(EncodeRequest(Message)));
    auto [commande, argument] = SplitReply(reply);
    State.Commande = std::move(commande);
    State.Argument = std::move(argument);
    return reply;
}
