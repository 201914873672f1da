// Commands whose handlers are not written yet: the word is recognised and
// the command does nothing.
#include "engine/tarvo_conduit.h"

void CTarvoConduit::RunCommandPPut(std::string, std::string, CTarvoServer) {}
void CTarvoConduit::RunCommandPDel(std::string, std::string, CTarvoServer) {}
void CTarvoConduit::RunCommandPGet(std::string, std::string, CTarvoServer) {}
void CTarvoConduit::RunCommandOpenBrowser(std::string, std::string, CTarvoServer) {}
void CTarvoConduit::RunCommandConduit(std::string) {}
void CTarvoConduit::RunCommandLogMessage(std::string, CTarvoServer) {}
void CTarvoConduit::RunCommanRPut(std::string) {}
void CTarvoConduit::RunCommandRGet(std::string, std::string, CTarvoServer) {}
void CTarvoConduit::RunCommanRDel(std::string) {}
