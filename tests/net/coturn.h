#pragma once

// A coturn server of the test's own on loopback, with shared-secret credentials, started in a
// directory of its own and stopped with the test.

#include <nettle/base64.h>
#include <nettle/hmac.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace kavarin {

// The path of `program` on PATH, or empty.
inline std::string OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/usr/sbin";
  for (size_t at = 0; at <= dirs.size();) {
    const size_t end = std::min(dirs.find(':', at), dirs.size());
    const std::string candidate = dirs.substr(at, end - at) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    at = end + 1;
  }
  return {};
}

// coturn's shared-secret scheme: the username is the expiry time and the room, the password
// base64 of HMAC-SHA1 of the username under the secret.
inline std::string SharedSecretPassword(const std::string& secret, const std::string& username) {
  hmac_sha1_ctx ctx;
  hmac_sha1_set_key(&ctx, secret.size(), reinterpret_cast<const uint8_t*>(secret.data()));
  hmac_sha1_update(&ctx, username.size(), reinterpret_cast<const uint8_t*>(username.data()));
  uint8_t digest[SHA1_DIGEST_SIZE];
  hmac_sha1_digest(&ctx, sizeof digest, digest);
  char text[BASE64_ENCODE_RAW_LENGTH(SHA1_DIGEST_SIZE) + 1] = {};
  base64_encode_raw(text, sizeof digest, digest);
  return text;
}

class Coturn {
 public:
  static constexpr const char* Secret = "kavarin-test-secret";

  // Started on 127.0.0.1:`port`; Running() says whether it could be.
  explicit Coturn(uint16_t port) : port_(port) {
    const std::string exe = OnPath("turnserver");
    if (exe.empty()) return;
    char pattern[] = "/tmp/kavarin-coturn-XXXXXX";
    if (!mkdtemp(pattern)) return;
    dir_ = pattern;
    const std::string conf = dir_ + "/turnserver.conf";
    std::ofstream(conf) << "listening-ip=127.0.0.1\nrelay-ip=127.0.0.1\nlistening-port=" << port
                        << "\nuse-auth-secret\nstatic-auth-secret=" << Secret
                        << "\nrealm=kavarin.test\nallow-loopback-peers\nno-cli\nno-tls\nno-dtls\n"
                           "no-tcp\nno-stdout-log\nsimple-log\nlog-file="
                        << dir_ << "/turn.log\npidfile=" << dir_ << "/turn.pid\nuserdb=" << dir_
                        << "/turndb\nno-rfc5780\nno-stun-backward-compatibility\n";
    pid_ = fork();
    if (pid_ == 0) {
      execl(exe.c_str(), exe.c_str(), "-c", conf.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~Coturn() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      // Waited for a bounded while, then killed.
      for (int i = 0; i < 50 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      if (waitpid(pid_, nullptr, WNOHANG) == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
      }
    }
    if (!dir_.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(dir_, ignored);
    }
  }
  Coturn(const Coturn&) = delete;
  Coturn& operator=(const Coturn&) = delete;

  bool Running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
  uint16_t Port() const { return port_; }
  std::string Log() const {
    std::ifstream in(dir_ + "/turn.log");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // A username good for an hour, for `room`.
  static std::string Username(const std::string& room) {
    return std::to_string(std::time(nullptr) + 3600) + ":" + room;
  }

 private:
  uint16_t port_;
  std::string dir_;
  pid_t pid_ = -1;
};

}  // namespace kavarin
