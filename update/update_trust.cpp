#include "update/update_trust.h"

#include <optional>

#include "update/release_signature.h"

#ifndef QUORVO_UPDATE_PUBLIC_KEY_BUILTIN
#define QUORVO_UPDATE_PUBLIC_KEY_BUILTIN ""
#endif
#ifndef QUORVO_UPDATE_INSECURE_BUILTIN
#define QUORVO_UPDATE_INSECURE_BUILTIN 0
#endif

namespace quorvo {

UpdateTrust BuiltInUpdateTrust() {
  static const UpdateTrust trust = [] {
    std::string key = QUORVO_UPDATE_PUBLIC_KEY_BUILTIN;
    if (!key.empty()) return SignedUpdateTrust(key);
    UpdateTrust unsignedRoad;
    unsignedRoad.insecure = QUORVO_UPDATE_INSECURE_BUILTIN != 0;
    return unsignedRoad;
  }();
  return trust;
}

UpdateTrust InsecureUpdateTrust() {
  UpdateTrust trust;
  trust.insecure = true;
  return trust;
}

UpdateTrust SignedUpdateTrust(const std::string& publicKeyBase64) {
  UpdateTrust trust;
  std::optional<std::string> key = Base64Decode(publicKeyBase64);
  if (key && key->size() == kEd25519KeyBytes) trust.publicKey = *key;
  return trust;  // a bad key leaves no key and not insecure: refuses all
}

}  // namespace quorvo
