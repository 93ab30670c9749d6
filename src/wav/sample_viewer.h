#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "wav/wav_decoder.h"

namespace melo {

// One step of the sample viewer: the typed index text read leniently, rounded half to even
// and clamped to the spinner's range [minimum, maximum]; the index as plain decimal text;
// and the sample byte at that index as two upper-case hexadecimal digits.
struct SampleView {
    std::int32_t index = 0;
    std::string index_text;
    std::string value_text;
};

// Returns the view for `text`; an index outside the sample buffer shows "00".
SampleView view_sample(std::string_view text, std::int32_t minimum, std::int32_t maximum,
                       const DecodedSound& sound);

} // namespace melo
