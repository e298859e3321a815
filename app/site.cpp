#include "app/site.h"

const wchar_t kStatusHost[] = TARVIK_STATUS_HOST;
const wchar_t kSiteUrl[] = TARVIK_SITE_URL;
const char kUpdatePublicKey[] = TARVIK_UPDATE_PUBLIC_KEY;

#ifdef TARVIK_UPDATE_HTTPS_ONLY
const bool kUpdateHttpsOnly = true;
#else
const bool kUpdateHttpsOnly = false;
#endif
