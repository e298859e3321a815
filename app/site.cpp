#include "app/site.h"

const wchar_t kStatusHost[] = TARVIK_STATUS_HOST;
const wchar_t kSiteUrl[] = TARVIK_SITE_URL;
