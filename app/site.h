#pragma once

// The site's constants, fixed when each executable is built.
extern const wchar_t kStatusHost[]; // host name (or dotted address) of the status server
extern const wchar_t kSiteUrl[];    // the community's web site
extern const bool kUpdateHttpsOnly;  // updates only over "https"
// minisign public key ("RW..."), empty when updates are not signed.
extern const char kUpdatePublicKey[];
