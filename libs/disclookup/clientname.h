#pragma once

namespace DiscLookup {

// How this program names itself to the disc databases.
inline constexpr const char *ClientName = "OrvanelSondrel";
inline constexpr const char *ClientVersion = SONDREL_VERSION;

} // namespace DiscLookup
