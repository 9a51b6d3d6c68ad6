#include "engine/RunSettings.h"

namespace kw {

RunSettings& TheRunSettings() {
    static RunSettings settings;
    return settings;
}

}  // namespace kw
