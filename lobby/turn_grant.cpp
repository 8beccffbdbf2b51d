#include "lobby/turn_grant.h"

#include <nettle/base64.h>
#include <nettle/hmac.h>

namespace kavarin {

std::string TurnPassword(std::string_view secret, std::string_view username) {
  hmac_sha1_ctx ctx;
  hmac_sha1_set_key(&ctx, secret.size(), reinterpret_cast<const uint8_t*>(secret.data()));
  hmac_sha1_update(&ctx, username.size(), reinterpret_cast<const uint8_t*>(username.data()));
  uint8_t digest[SHA1_DIGEST_SIZE];
  hmac_sha1_digest(&ctx, sizeof digest, digest);
  std::string text(BASE64_ENCODE_RAW_LENGTH(sizeof digest), '\0');
  base64_encode_raw(text.data(), sizeof digest, digest);
  return text;
}

TurnGrant MakeTurnGrant(const UdpAddress& server, std::string_view secret, int64_t expiry,
                        const RoomCode& code) {
  TurnGrant grant;
  grant.server = server;
  grant.username = std::to_string(expiry) + ":" + std::string(code.begin(), code.end());
  grant.password = TurnPassword(secret, grant.username);
  return grant;
}

}  // namespace kavarin
