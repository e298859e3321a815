#pragma once

// The community's site, fixed when each executable is built and handed to
// the window by the entry point.
struct Site {
    const wchar_t* statusHost; // host name (or dotted address) of the status server
    const wchar_t* siteUrl;    // the community's web site
    bool updateHttpsOnly;      // updates only over "https"
    const char* updatePublicKey; // minisign public key ("RW..."), empty when updates are not signed
};
