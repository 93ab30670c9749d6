#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "flash/generation_run.h"
#include "flash/image_dump.h"
#include "platform/paths.h"
#include "temp_dir.h"
#include "wav_builder.h"

using namespace melo;

namespace {

// The window-level state a run works on; the buffers are large, so one set for all tests.
struct Windowed {
    FlashImage flash;
    SoundSlots slots;
    DecodedSound sound;
};
Windowed& state() {
    static Windowed w;
    return w;
}

struct Recorder : RunObserver {
    std::vector<std::string> sounds;
    std::vector<int> progress_values;
    std::vector<std::string> captions;
    int checked = 0;
    std::function<void(int)> after_check; // called with the number of checks so far
    void progress_caption(const std::string& caption) override { captions.push_back(caption); }
    void progress(int permille) override { progress_values.push_back(permille); }
    void decoded(int, const DecodedSound&, bool is_check) override {
        checked += is_check;
        if (is_check && after_check) {
            after_check(checked);
        }
    }
    void result_sound(const std::string& name) override { sounds.push_back(name); }
};

struct Project {
    TempDir dir;
    RunInput input;
    Recorder observer;

    Project() {
        input.projfiledir = dir.root();
        input.output_dir = dir.root();
        input.project_name = "Test.DSP";
        input.versionfull = " V1.01.0001";
        input.result_sounds = true;
        for (int k = 0; k < 4; ++k) {
            input.fields.useranf[k] = input.fields.userloop[k] = input.fields.userend[k] = "(leer)";
        }
    }
    void base(std::size_t size) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<char>(i * 7 + 3);
        }
        wavb::write_file(dir.path("base.DS3"), bytes);
        input.fields.dsdfilename = "base.DS3";
    }
    // An 8-bit mono part of `samples` samples of the value `value` at `rate` Hz.
    void part(int sound, int p, const std::string& name, int samples, int value = 0x40, std::uint32_t rate = 13021) {
        wavb::write_file(dir.path(name), wavb::wav({.rate = rate}, std::string(static_cast<std::size_t>(samples),
                                                                                 static_cast<char>(value))));
        input.fields.part(sound, p) = name;
    }
    RunResult run() {
        Windowed& w = state();
        GenerationRun generation(w.flash, w.slots, w.sound);
        return generation.run(input, observer);
    }
    std::string file(const std::string& name) {
        std::string bytes;
        read_file(dir.path(name), bytes);
        return bytes;
    }
};

std::int32_t entry(const std::string& image, int slot) {
    const auto at = static_cast<std::size_t>(170 + 3 * (slot - 1));
    return static_cast<unsigned char>(image[at]) | static_cast<unsigned char>(image[at + 1]) << 8 |
           static_cast<unsigned char>(image[at + 2]) << 16;
}

} // namespace

TEST(FlashImage, WritersStayInsideTheBuffer) {
    FlashImage& f = state().flash;
    f.fill(255);
    f.writeFLASH(8388608, 7);
    EXPECT_EQ(f.at(8388608), 7);
    f.writeFLASH(8388609, 9);
    f.writeFLASH(-1, 9);
    f.writeFLASH3(170, 0x0123AB);
    EXPECT_EQ(f.at(170), 0xAB);
    EXPECT_EQ(f.at(171), 0x23);
    EXPECT_EQ(f.at(172), 0x01);
    f.writeFLASH3(300, 0x01000005); // bit 24 is dropped
    EXPECT_EQ(f.at(300), 5);
    EXPECT_EQ(f.at(302), 0);
    f.writeFLASH3(8388607, 0x030201); // the third byte falls outside
    EXPECT_EQ(f.at(8388607), 1);
    EXPECT_EQ(f.at(8388608), 2);
    f.writeFLASH3(-1, 0x030201); // the first byte falls outside: none is written
    EXPECT_EQ(f.at(0), 255);
}

TEST(FlashImage, SlotFromAHeaderCheck) {
    SoundSlots slots;
    DecodedSound sound;
    const std::string file = wavb::wav({}, std::string(1000, 'x'));
    MemorySource wav(file);
    decode_sound(wav, "a.wav", false, sound);
    getWAVdata(slots, sound);
    EXPECT_EQ(slots.sndstart[1], 44);
    EXPECT_EQ(slots.sndend[1], 1044);
    EXPECT_EQ(slots.sndmark[1], 255);
    // A failed check that never reached the sample count leaves the slot as it was.
    const std::string other = wavb::wav({.tag = 3}, "x");
    MemorySource bad(other);
    decode_sound(bad, "b.wav", false, sound);
    slots.sndslot = 2;
    getWAVdata(slots, sound);
    EXPECT_EQ(slots.sndmark[2], 0);
    EXPECT_EQ(project_base("Test.DSP"), "Test.");
    EXPECT_EQ(project_base("Test.dsp.bak"), "Test.");
    EXPECT_EQ(project_base("Projekt"), "");
    EXPECT_EQ(size_message(4194303), "FLASH 32Mbit: 1 frei");
    EXPECT_EQ(size_message(4194304), "*** Warnung: Zu groß für 32Mbit: 0 zuviel");
    EXPECT_EQ(size_message(5000000), "*** Warnung: Zu groß für 32Mbit: 805696 zuviel");
}

TEST(GenerationRun, AllPartsEmptyGivesTwelveMarkerBytes) {
    Project p;
    p.base(5000);
    p.input.write_log = true;
    p.input.write_debug = true;
    const RunResult r = p.run();
    EXPECT_FALSE(r.failed);
    EXPECT_EQ(r.flashpos, 5012);
    const std::string image = p.file("Test.DSU");
    ASSERT_EQ(image.size(), 5012u);
    for (int slot = 1; slot <= 12; ++slot) {
        EXPECT_EQ(entry(image, slot), 5000 + slot - 1);
        EXPECT_EQ(image[static_cast<std::size_t>(5000 + slot - 1)], '\0');
    }
    EXPECT_EQ(image[169], static_cast<char>(169 * 7 + 3)); // the base file around the table
    EXPECT_EQ(image[206], static_cast<char>(206 * 7 + 3));

    std::string log = "VUZOdezir-Version:  V1.01.0001";
    std::string debug = log;
    for (int slot = 1; slot <= 12; ++slot) {
        debug += "\r\n00002C,00002C";
    }
    for (int slot = 1; slot <= 12; ++slot) {
        const std::string line = "WAV  " + std::to_string(slot) + ": (leer):";
        log += "\r\n" + line;
        debug += "\r\n" + line + "\r\nWAVBytes: ....,00";
    }
    const std::string tail = "\r\nbenötigte Bytes: 5012\r\nFLASH 32Mbit: 4189292 frei\r\nErgebnis = OK";
    EXPECT_EQ(r.log_text, log + tail);
    EXPECT_EQ(r.debug_text, debug + tail);
    EXPECT_EQ(r.status_text, "Ergebnis = OK, FLASH 32Mbit: 4189292 frei");
    EXPECT_EQ(r.colour, StatusColour::Green);
    EXPECT_EQ(p.observer.sounds, std::vector<std::string>{"ok.wav"});
    EXPECT_EQ(p.observer.checked, 0); // empty parts are not decoded
    // The files: Windows-1252, CR LF, a line end after the last line.
    EXPECT_EQ(p.file("Test.LOG"), utf8_to_file_text(log + tail) + "\r\n");
    EXPECT_EQ(p.file("Test.DBG"), utf8_to_file_text(debug + tail) + "\r\n");
    EXPECT_NE(p.file("Test.LOG").find("ben\xF6tigte"), std::string::npos);
    // The progress caption while the base file is read, then per slot.
    EXPECT_EQ(p.observer.captions[0], "0.0");
    EXPECT_EQ(p.observer.captions[1], "0.1");
    EXPECT_EQ(p.observer.captions.back(), "100 %");
}

TEST(GenerationRun, PartsFollowTheBaseWithMarkersAndTableEntries) {
    Project p;
    p.base(5000);
    std::string start;
    for (int i = 0; i < 100; ++i) {
        start += static_cast<char>(0x7F + i % 3);
    }
    wavb::write_file(p.dir.path("start.wav"), wavb::wav({}, start));
    p.input.fields.useranf[0] = "start.wav";
    p.part(0, 1, "loop.wav", 50, 0x80);
    p.part(0, 2, "end.wav", 20, 0xFF); // 255 becomes 254
    const RunResult r = p.run();
    ASSERT_FALSE(r.failed);
    EXPECT_EQ(r.flashpos, 5182);
    const std::string image = p.file("Test.DSU");
    EXPECT_EQ(entry(image, 1), 5000);
    EXPECT_EQ(entry(image, 2), 5101);
    EXPECT_EQ(entry(image, 3), 5152);
    EXPECT_EQ(image.substr(5000, 100), start);
    EXPECT_EQ(static_cast<unsigned char>(image[5100]), 255);
    EXPECT_EQ(static_cast<unsigned char>(image[5151]), 255);
    EXPECT_EQ(image.substr(5152, 20), std::string(20, '\xFE'));
    EXPECT_EQ(image[5172], '\0');
    for (int slot = 4; slot <= 12; ++slot) {
        EXPECT_EQ(entry(image, slot), 5173 + slot - 4);
    }
    EXPECT_NE(r.debug_text.find("\r\nWAV  1: start.wav:\r\nWAVBytes:  7F 80 81 7F.... 7F 80 81 7F,FF\r\n"),
              std::string::npos);
    EXPECT_NE(r.debug_text.find("\r\nstart.wav:\r\n00002C,000090\r\n"), std::string::npos);
    EXPECT_NE(r.debug_text.find("WAVBytes:  FE FE FE FE.... FE FE FE FE,00"), std::string::npos);

    // An empty loop or end part takes the data start of the part decoded last, an empty start
    // part 44: after a file with an 18-byte fmt chunk that is 46.
    p.part(1, 0, "long_fmt.wav", 0);
    wavb::write_file(p.dir.path("long_fmt.wav"), wavb::wav({.extra = "xy"}, "abc"));
    const RunResult e = p.run();
    EXPECT_NE(e.debug_text.find("\r\nlong_fmt.wav:\r\n00002E,000031\r\n00002E,00002E\r\n00002E,00002E\r\n"
                                "00002C,00002C\r\n"),
              std::string::npos);
}

TEST(GenerationRun, AFailingPartFreesItsSlotAndStopsLaterSounds) {
    Project p;
    p.base(300);
    p.part(1, 0, "b1.wav", 10);
    wavb::write_file(p.dir.path("b2.wav"), wavb::wav({.tag = 85}, "x"));
    p.input.fields.userloop[1] = "b2.wav";
    p.part(1, 2, "b3.wav", 10);
    p.part(2, 0, "c1.wav", 10);
    const RunResult r = p.run();
    EXPECT_TRUE(r.failed);
    EXPECT_EQ(state().slots.sndslot, 6); // A: 1-3, B start 4, B end takes 5
    EXPECT_EQ(state().slots.sndname[5], "b3.wav");
    EXPECT_EQ(p.observer.checked, 3); // c1.wav was never looked at
    EXPECT_NE(r.log_text.find("\r\nb2.wav: WAV-Filedecodierung mit Fehler 9 beendet:\r\n"
                              "Fehler in WAV-Datei: WAV ist kein PCM-Format (#9): 85=MP3\r\n"),
              std::string::npos);
    EXPECT_EQ(r.log_text.substr(r.log_text.size() - 21), "Ergebnis = FEHLERHAFT");
    EXPECT_EQ(r.colour, StatusColour::Red);
    EXPECT_EQ(p.observer.sounds, std::vector<std::string>{"nok.wav"});
    EXPECT_TRUE(p.file("Test.DSU").empty()); // no image

    // "(LEER)" is a file name, not an empty part.
    Project upper;
    upper.base(300);
    upper.input.fields.userend[3] = "(LEER)";
    EXPECT_TRUE(upper.run().failed);
}

TEST(GenerationRun, MissingOrTooShortBaseFile) {
    Project p;
    p.input.fields.dsdfilename = "gone.DSD";
    RunResult r = p.run();
    EXPECT_TRUE(r.failed);
    EXPECT_EQ(r.flashpos, 206);
    EXPECT_EQ(r.log_text, "VUZOdezir-Version:  V1.01.0001\r\n"
                          "Fehler: Basis-DSD/DS3file \"gone.DSD\" nicht gefunden\r\n"
                          "benötigte Bytes: 206\r\nFLASH 32Mbit: 4194098 frei\r\nErgebnis = FEHLERHAFT");
    EXPECT_EQ(p.observer.sounds, std::vector<std::string>{"nok.wav"});
    p.base(0); // an empty base file is missing too
    EXPECT_EQ(p.run().flashpos, 206);
    p.input.fields.dsdfilename = ""; // so is one never chosen
    EXPECT_NE(p.run().log_text.find("Fehler: Basis-DSD/DS3file \"\" nicht gefunden\r\n"), std::string::npos);

    // A base file too short for the address table fails instead of mixing data into it.
    Project s;
    s.base(205);
    r = s.run();
    EXPECT_TRUE(r.failed);
    EXPECT_NE(r.log_text.find("Fehler: Basis-DSD/DS3file \"base.DS3\" zu kurz: 205 Bytes"), std::string::npos);
    EXPECT_EQ(r.flashpos, 205);
    EXPECT_TRUE(s.file("Test.DSU").empty());
}

TEST(GenerationRun, SampleRateWarnings) {
    Project p;
    p.base(1000);
    p.part(0, 0, "a.wav", 10, 0x40, 22050);
    p.part(3, 2, "d.wav", 10, 0x40, 8000);
    p.input.project_name = "Projekt"; // no ".dsp": the files are named DSU and LOG
    p.input.write_log = true;
    const RunResult r = p.run();
    EXPECT_FALSE(r.failed);
    EXPECT_EQ(r.warncount, 2);
    EXPECT_NE(r.log_text.find("\r\n*** Warnung: a.wav: Abtastfrequenz hier 22050 Hz statt 13021 Hz\r\n"),
              std::string::npos);
    EXPECT_NE(r.log_text.find("\r\n2 Warnung(en)\r\nErgebnis = OK"), std::string::npos);
    EXPECT_EQ(r.status_text, "Ergebnis = OK mit 2 Warnung(en), FLASH 32Mbit: " +
                                 std::to_string(4194304 - r.flashpos) + " frei");
    EXPECT_EQ(r.colour, StatusColour::Yellow);
    EXPECT_EQ(p.observer.sounds, std::vector<std::string>{"warn.wav"});
    EXPECT_EQ(p.file("DSU").size(), static_cast<std::size_t>(r.flashpos));
    EXPECT_FALSE(p.file("LOG").empty());
}

TEST(GenerationRun, AnImageThatCannotBeWrittenIsAFailure) {
    Project p;
    p.base(400);
#ifdef _WIN32
    // Windows protects folders by access lists, not bits: an image that another program
    // holds open (a flasher tool reading it) cannot be replaced.
    wavb::write_file(p.dir.path("Test.DSU"), "old");
    const HANDLE held =
        CreateFileW(melo::native_path(p.dir.path("Test.DSU")).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const RunResult r = p.run();
    CloseHandle(held);
    EXPECT_EQ(p.file("Test.DSU"), "old");
    std::filesystem::remove(p.dir.path("Test.DSU"));
#else
    ::chmod(p.dir.root().c_str(), 0555);
    const RunResult r = p.run();
    ::chmod(p.dir.root().c_str(), 0755);
#endif
    EXPECT_TRUE(r.failed);
    EXPECT_FALSE(r.dsu_written);
    EXPECT_NE(r.log_text.find("Fehler: DSU-File \"" + p.dir.path("Test.DSU") + "\" nicht geschrieben"),
              std::string::npos);
    EXPECT_EQ(r.status_text, "Ergebnis = FEHLERHAFT");
    EXPECT_EQ(p.observer.sounds, std::vector<std::string>{"nok.wav"});
    EXPECT_EQ(p.dir.entries(), (std::vector<std::string>{"base.DS3"}));
}

TEST(GenerationRun, OutputLinksOutOfTheProjectFolderAreNotFollowed) {
    TempDir elsewhere;
    const std::string victim = elsewhere.path("victim.txt");
    wavb::write_file(victim, "precious");
    Project p;
    p.base(400);
    p.input.write_log = true;
    std::error_code no_links;
    std::filesystem::create_symlink(victim, p.dir.path("Test.DSU"), no_links);
    if (no_links) {
        GTEST_SKIP() << "no symbolic links here: " << no_links.message(); // Wine before 9
    }
    std::filesystem::create_symlink(victim, p.dir.path("Test.LOG"));
    const RunResult r = p.run();
    EXPECT_TRUE(r.failed);
    std::string back;
    ASSERT_TRUE(read_file(victim, back));
    EXPECT_EQ(back, "precious");
    EXPECT_NE(r.log_text.find("Fehler: DSU-File \"" + p.dir.path("Test.DSU") + "\" nicht geschrieben: ist ein "
                              "symbolischer Link auf " + victim + " außerhalb des Ordners"),
              std::string::npos);
    ASSERT_EQ(r.file_errors.size(), 1u);
    EXPECT_NE(r.file_errors[0].find("Test.LOG\" nicht geschrieben: ist ein symbolischer Link"), std::string::npos);
}

#ifndef _WIN32 // Windows has no FIFOs in folders
TEST(GenerationRun, ABaseFileThatCannotBeReadFailsTheRun) {
    Project p;
    ASSERT_EQ(::mkfifo(p.dir.path("base.DS3").c_str(), 0600), 0);
    p.input.fields.dsdfilename = "base.DS3";
    const RunResult r = p.run();
    EXPECT_TRUE(r.failed);
    EXPECT_NE(r.log_text.find("Fehler: Basis-DSD/DS3file \"base.DS3\" nicht lesbar: keine gewöhnliche Datei: ist "
                              "eine Pipe (FIFO)"),
              std::string::npos);
}
#endif

TEST(GenerationRun, PartsWithFewerSamplesThanDeclaredAreWarnedOf) {
    Project p;
    p.base(300);
    // Declares 1000 samples but holds 10 (a cut-off file).
    const std::string cut = wavb::riff(wavb::fmt_chunk({}) + wavb::chunk("data", std::string(10, '\x50'), 1000));
    wavb::write_file(p.dir.path("cut.wav"), cut);
    p.input.fields.useranf[0] = "cut.wav";
    // Declares no samples (a size of 2^31 or more counts as 0) although bytes follow.
    const std::string none = wavb::riff(wavb::fmt_chunk({}) + wavb::chunk("data", std::string(7, '\x50'), 0x80000000));
    wavb::write_file(p.dir.path("none.wav"), none);
    p.input.fields.userloop[0] = "none.wav";
    const RunResult r = p.run();
    EXPECT_FALSE(r.failed);
    EXPECT_EQ(r.warncount, 2);
    EXPECT_NE(r.log_text.find("\r\n*** Warnung: cut.wav: File kürzer als im Header angegeben: 10 von 1000 Samples\r\n"),
              std::string::npos);
    EXPECT_NE(r.log_text.find("\r\n*** Warnung: none.wav: der Header gibt 0 Samples an, dahinter stehen aber 7 Bytes; "
                              "der Teil bleibt leer\r\n"),
              std::string::npos);
    EXPECT_EQ(r.status_text.rfind("Ergebnis = OK mit 2 Warnung(en), ", 0), 0u);
    const std::string image = p.file("Test.DSU");
    EXPECT_EQ(image.substr(300, 12), std::string(10, '\x50') + "\xFF\xFF"); // no samples, marker 255
    EXPECT_EQ(entry(image, 2), 311);
    EXPECT_EQ(entry(image, 3), 312);
    EXPECT_TRUE(dump_image(image).problems.empty()); // the image reads back as consistent
}

TEST(GenerationRun, APartThatChangesAfterItsCheckFailsTheRun) {
    for (const bool vanish : {true, false}) {
        Project p;
        p.base(300);
        p.part(0, 0, "a.wav", 10);
        p.part(0, 1, "b.wav", 10);
        wavb::write_file(p.dir.path("Test.DSU"), "old image");
        p.observer.after_check = [&](int checks) {
            if (checks == 2) { // between the checks and the placement
                if (vanish) {
                    std::filesystem::remove(p.dir.path("a.wav"));
                } else { // another file, its samples behind a longer fmt chunk
                    wavb::write_file(p.dir.path("b.wav"), wavb::wav({.extra = "xy"}, std::string(10, 'x')));
                }
            }
        };
        const RunResult r = p.run();
        EXPECT_TRUE(r.failed);
        EXPECT_NE(r.log_text.find(vanish ? "\r\na.wav: WAV-Filedecodierung mit Fehler 3 beendet:\r\n"
                                           "Fehler in WAV-Datei: File nicht gefunden (#3)\r\n"
                                         : "\r\nb.wav: WAV-File hat sich seit der Prüfung geändert\r\n"),
                  std::string::npos)
            << r.log_text;
        EXPECT_EQ(r.status_text, "Ergebnis = FEHLERHAFT");
        EXPECT_EQ(p.file("Test.DSU"), "old image");
    }
}

TEST(GenerationRun, APartBeyondTheSampleBufferCountsItsWholeLength) {
    Project p;
    p.base(300);
    p.part(0, 0, "huge.wav", kMaxSamples + 10);
    const RunResult r = p.run();
    EXPECT_FALSE(r.failed); // 99, the full buffer, is no failure
    EXPECT_EQ(r.flashpos, 300 + kMaxSamples + 10 + 1 + 11);
    EXPECT_NE(r.log_text.find("benötigte Bytes: " + std::to_string(r.flashpos)), std::string::npos);
}

TEST(GenerationRun, NamesAreFoundInTheProjectFolderOnly) {
    TempDir outside;
    wavb::write_file(outside.path("secret.DS3"), std::string(400, 's'));
    wavb::write_file(outside.path("secret.wav"), wavb::wav({}, "sss"));
    const std::string up = "../" + std::filesystem::path(outside.root()).filename().string() + "/";

    Project p;
    p.input.fields.dsdfilename = up + "secret.DS3";
    RunResult r = p.run();
    EXPECT_TRUE(r.failed);
    EXPECT_EQ(r.flashpos, 206);
    EXPECT_NE(r.log_text.find("Fehler: Basis-DSD/DS3file \"" + up + "secret.DS3\" liegt außerhalb des Projektordners"),
              std::string::npos);

    p.base(300);
    std::filesystem::create_directory(p.dir.path("sub"));
    wavb::write_file(p.dir.path("sub/inside.wav"), wavb::wav({}, "abc"));
    std::error_code no_links; // Wine before 9 has no symbolic links
    std::filesystem::create_symlink(outside.path("secret.wav"), p.dir.path("link.wav"), no_links);
    p.input.fields.useranf[0] = "sub/../sub/inside.wav"; // a subfolder that stays inside
    p.input.fields.userloop[0] = up + "secret.wav";
    p.input.fields.userend[0] = no_links ? "" : "link.wav";
    r = p.run();
    EXPECT_TRUE(r.failed);
    EXPECT_EQ(p.observer.checked, 1);
    EXPECT_NE(r.log_text.find("\r\n" + up + "secret.wav: WAV-File liegt außerhalb des Projektordners"), std::string::npos);
    EXPECT_TRUE(no_links ||
                r.log_text.find("\r\nlink.wav: WAV-File liegt außerhalb des Projektordners") != std::string::npos);
}

TEST(GenerationRun, NamesOfWindowsProjectsMatchWithoutRegardToCase) {
    Project p;
    p.base(300);
    p.input.fields.dsdfilename = "BASE.ds3";
    p.part(0, 0, "motor_an.wav", 5);
    p.input.fields.useranf[0] = "Motor_An.WAV";
    p.part(0, 1, "größe.wav", 5);
    p.input.fields.userloop[0] = "GRÖSSE.WAV"; // ß has no upper case of its own: not the same name
    RunResult r = p.run();
    EXPECT_TRUE(r.failed);
    EXPECT_NE(r.log_text.find("GRÖSSE.WAV: WAV-Filedecodierung mit Fehler 3 beendet:"), std::string::npos);
    p.input.fields.userloop[0] = "GRÖßE.WAV";
    r = p.run();
    EXPECT_FALSE(r.failed) << r.log_text;
    EXPECT_NE(r.log_text.find("\r\nWAV  1: Motor_An.WAV:\r\nWAV  2: GRÖßE.WAV:"), std::string::npos); // as written

#ifndef _WIN32 // a Windows folder cannot hold two names that differ only in case
    // Two names that differ only in case are not guessed between.
    p.part(1, 0, "x.wav", 5);
    p.part(1, 1, "X.wav", 5);
    p.input.fields.userend[1] = "x.WAV";
    r = p.run();
    EXPECT_TRUE(r.failed);
    EXPECT_NE(r.log_text.find("x.WAV: WAV-Filedecodierung mit Fehler 3 beendet:"), std::string::npos);
#endif
}

TEST(GenerationRun, BackslashesSeparateFoldersAndControlCharactersFindNoFile) {
    Project p;
    p.base(300);
    std::filesystem::create_directory(p.dir.path("Sub"));
    wavb::write_file(p.dir.path("Sub/x.wav"), wavb::wav({}, "abc"));
    p.input.fields.useranf[0] = "sub\\X.wav"; // as a Windows project names it
    RunResult r = p.run();
    EXPECT_FALSE(r.failed) << r.log_text;
    EXPECT_NE(r.log_text.find("\r\nWAV  1: sub\\X.wav:"), std::string::npos); // the name as written
#ifndef _WIN32 // on Windows a backslash always separates folders
    wavb::write_file(p.dir.path("a\\b.wav"), wavb::wav({}, "abc")); // a Linux name holding a backslash
    p.input.fields.useranf[0] = "a\\b.wav";
    EXPECT_FALSE(p.run().failed);
#endif

    wavb::write_file(p.dir.path("\x1b[2J.wav"), wavb::wav({}, "abc"));
    p.input.fields.useranf[0] = "\x1b[2J.wav";
    p.input.fields.userloop[0] = std::string("a\0b.wav", 7);
    r = p.run();
    EXPECT_TRUE(r.failed);
    EXPECT_NE(r.log_text.find("\r\n\\x1b[2J.wav: WAV-File nicht gefunden: der Name enthält Steuerzeichen"),
              std::string::npos);
    EXPECT_NE(r.log_text.find("\r\na\\x00b.wav: WAV-File nicht gefunden"), std::string::npos);
    EXPECT_EQ(r.log_text.find('\x1b'), std::string::npos);
    EXPECT_EQ(r.log_text.find('\0'), std::string::npos);

    p.input.fields.dsdfilename = "base\x07.DS3";
    r = p.run();
    EXPECT_NE(r.log_text.find("Fehler: Basis-DSD/DS3file \"base\\x07.DS3\" nicht gefunden: der Name enthält Steuerzeichen"),
              std::string::npos);
}

TEST(GenerationRun, LogFilesInAnyCharacterAndTheirWriteFailures) {
    Project p;
    p.base(300);
    p.part(0, 0, "日本.wav", 5);
    p.input.write_log = true;
    p.input.write_debug = true;
    std::filesystem::create_directory(p.dir.path("Test.DBG")); // cannot be replaced by a file
    const RunResult r = p.run();
    EXPECT_FALSE(r.failed);
    EXPECT_NE(p.file("Test.LOG").find("WAV  1: 日本.wav:\r\n"), std::string::npos); // UTF-8, not "??"
    ASSERT_EQ(r.file_errors.size(), 1u);
    EXPECT_EQ(r.file_errors[0].rfind("Fehler: Logfile \"" + p.dir.path("Test.DBG") + "\" nicht geschrieben: ", 0), 0u);
    EXPECT_EQ(r.log_text.substr(r.log_text.size() - r.file_errors[0].size()), r.file_errors[0]);
}

TEST(GenerationRun, OversizeImageIsStillWrittenAndReported) {
    Project p;
    p.base(4194000);
    p.part(0, 0, "big.wav", 5000);
    const RunResult r = p.run();
    EXPECT_FALSE(r.failed);
    EXPECT_EQ(r.flashpos, 4194000 + 5001 + 11);
    EXPECT_EQ(r.colour, StatusColour::Green);
    EXPECT_EQ(r.status_text, "Ergebnis = OK, *** Warnung: Zu groß für 32Mbit: 4708 zuviel");
    EXPECT_EQ(p.file("Test.DSU").size(), static_cast<std::size_t>(r.flashpos));
    // Progress while the base file is read (after the reset to 0): every per-mille value
    // once, in order, then one value per slot.
    std::vector<int> expected;
    for (int m = 0; m <= 1000; ++m) {
        expected.push_back(m);
    }
    ASSERT_EQ(p.observer.progress_values.size(), 1u + 1001u + 12u);
    EXPECT_EQ(std::vector<int>(p.observer.progress_values.begin() + 1, p.observer.progress_values.begin() + 1002),
              expected);
}
