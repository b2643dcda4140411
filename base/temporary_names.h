#pragma once
// Names of the temporary files a writer fills beside its target before renaming
// them over it: "<target>.<pid>.<random>.part". The process id lets a later run's
// sweep tell the leftover of a killed writer from a write still in progress; the
// random part keeps two writers of one process apart.
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace kl::platform {

std::string temporarySibling(const std::string& target);

// The writer's process id when name is base + ".<pid>.<rest>" and ends in ".part"
// or ".tmp"; 0 when the name is not such a temporary file of base.
std::int64_t temporaryOwner(std::string_view name, std::string_view base) noexcept;

// Deletes the temporaries that writers of this target left behind: files
// "<target name>.<pid>.<anything>.part" or ".tmp" whose process no longer
// runs, or that were last written longer than maxAge ago. Nothing else.
// Returns how many were removed.
int sweepStaleTemporaries(const std::string& target, std::chrono::hours maxAge = std::chrono::hours(24));

}  // namespace kl::platform
