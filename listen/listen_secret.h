// SPDX-License-Identifier: GPL-3.0-or-later
// Where the listener's secret comes from. On the command line (--secret) it
// shows in the process list to every user of the machine, so a service reads
// it from a file only its owner may read (--secret-file), or from the
// credentials its service manager passes ($CREDENTIALS_DIRECTORY/secret).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "listen/listen_options.h"

namespace varnokel {

inline constexpr char kCredentialsDirectoryVariable[] = "CREDENTIALS_DIRECTORY";
inline constexpr char kCredentialName[] = "secret";

// The first line of `file`, its line end dropped. Throws FileError naming the
// file when it cannot be read, is empty, or others than its owner may read or
// change it.
std::string ReadSecretFile(const std::filesystem::path& file);

// The secret of `options`: --secret, else --secret-file, else the credential
// when the service manager passed one, else none. Throws as ReadSecretFile.
std::optional<std::string> ChooseSecret(const ListenOptions& options);

}  // namespace varnokel
