// Which manifests the update road trusts. A build carries the release's
// public key (the QUORVO_UPDATE_PUBLIC_KEY build setting): then only a
// manifest signed by that key is used. A build without a key refuses every
// update unless it was configured for the unsigned road
// (QUORVO_UPDATE_INSECURE), which believes whatever the server says.
//
// There is no way to change the key of a built program at run time; the
// engine's functions take the trust as a parameter only so that tests can
// run both roads in one build.
#pragma once

#include <string>

namespace quorvo {

struct UpdateTrust {
  std::string publicKey;  // 32 raw bytes; empty: no key
  bool insecure = false;  // the unsigned road, only when there is no key

  bool Signed() const { return !publicKey.empty(); }
  // No key and not configured for the unsigned road: no update at all.
  bool RefusesEverything() const { return publicKey.empty() && !insecure; }
};

// The trust the build was configured with. A key setting that does not
// decode to 32 bytes refuses everything.
UpdateTrust BuiltInUpdateTrust();

// The unsigned road, for the tests of the road without signatures.
UpdateTrust InsecureUpdateTrust();

// The trust of a public key given as base64 text; refuses everything when
// the text is not a 32-byte key.
UpdateTrust SignedUpdateTrust(const std::string& publicKeyBase64);

}  // namespace quorvo
