// The appcast: an RSS 2.0 feed with one item per release, in the Sparkle dialect update feeds
// commonly use:
//
//   <rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
//     <channel>
//       <item>
//         <title>Tucklet 2.0</title>
//         <sparkle:version>200</sparkle:version>
//         <sparkle:shortVersionString>2.0</sparkle:shortVersionString>
//         <sparkle:releaseNotesLink>https://example.com/notes/2.0.html</sparkle:releaseNotesLink>
//         <enclosure url="https://example.com/Tucklet-2.0.tar.gz" length="123456"
//                    type="application/octet-stream" sparkle:edSignature="(Base64)"/>
//       </item>
//     </channel>
//   </rss>
//
// The versions may also be attributes of the enclosure; notes may be inline in <description>.
// Items without a version or an enclosure address are not releases and are left out.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/update_framework.h"

namespace tucklet::platform::updates {

inline constexpr const char* sparkleNamespace =
    "http://www.andymatuschak.org/xml-namespaces/sparkle";

struct Appcast {
  std::vector<UpdateItem> items;  // in feed order
};

// The appcast, or why the text is not one (a line for people: "line 3, column 7: ...").
std::variant<Appcast, std::string> parseAppcast(std::string_view xml);

}  // namespace tucklet::platform::updates
