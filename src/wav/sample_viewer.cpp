#include "wav/sample_viewer.h"

#include "common/lenient_number.h"
#include "common/number_format.h"

namespace melo {

SampleView view_sample(std::string_view text, std::int32_t minimum, std::int32_t maximum,
                       const DecodedSound& sound) {
    // Clamping in double arithmetic also handles numbers beyond 32 bits by their sign.
    double index = round_half_even(lenient_number(text));
    if (index > maximum) {
        index = maximum;
    }
    if (index < minimum) {
        index = minimum;
    }
    SampleView view;
    view.index = static_cast<std::int32_t>(index);
    view.index_text = std::to_string(view.index);
    const bool inside = view.index >= 0 && static_cast<std::size_t>(view.index) < sound.wavdata.size();
    view.value_text = hexx(inside ? sound.wavdata[static_cast<std::size_t>(view.index)] : 0, 2);
    return view;
}

} // namespace melo
