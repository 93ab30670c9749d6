#include "wav/pcm_file.h"

#include <fstream>

#include "wav/wav_decoder.h"

namespace melo {

bool load_pcm(const std::string& path, PcmSound& sound) {
    DecodedSound header; // a header-only decode leaves the sample buffer unallocated
    if (decode_sound(path, false, header) != kDecodeOk || header.wavfreq <= 0) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in.seekg(header.wavdatastart)) {
        return false;
    }
    std::string data(static_cast<std::size_t>(header.wavdatalen), '\0');
    in.read(data.data(), header.wavdatalen);
    const auto got = static_cast<std::size_t>(in.gcount());
    data.resize(got - got % static_cast<std::size_t>(header.wavblockalign));
    if (data.empty()) {
        return false;
    }
    sound.channels = header.wavchannels;
    sound.rate = header.wavfreq;
    sound.bits = header.wavbits;
    sound.block_align = header.wavblockalign;
    sound.data = std::move(data);
    return true;
}

} // namespace melo
