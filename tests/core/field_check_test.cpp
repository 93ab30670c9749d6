// The fields' check before a run: every problem at once, each at its field, and the same
// findings and image size as the run that follows.

#include "flash/field_check.h"
#include "flash/generation_run.h"
#include "temp_dir.h"
#include "wav_builder.h"

#include <gtest/gtest.h>
#include <memory>

using namespace melo;

namespace {

struct Folder {
    TempDir dir;
    ProjectFields fields;

    void base(std::size_t bytes) {
        wavb::write_file(dir.path("base.DS3"), std::string(bytes, '\x11'));
        fields.dsdfilename = "base.DS3";
    }
    ProjectCheck check(std::initializer_list<int> skip = {}) const {
        const std::vector<int> s(skip);
        return check_project(fields, dir.root(), ',', s);
    }
};

// What the run says about the same fields.
RunResult run(const Folder& f) {
    static auto flash = std::make_unique<FlashImage>();
    static auto sound = std::make_unique<DecodedSound>();
    SoundSlots slots;
    RunInput input;
    input.fields = f.fields;
    input.projfiledir = f.dir.root();
    input.output_dir = f.dir.root();
    input.project_name = "T.DSP";
    RunObserver quiet;
    return GenerationRun(*flash, slots, *sound).run(input, quiet);
}

} // namespace

TEST(FieldCheck, NamesEveryFieldThatWouldFailOrWarnAtOnce) {
    Folder f;
    wavb::write_file(f.dir.path("ok.wav"), wavb::wav({}, std::string(300, '\x40')));
    wavb::write_file(f.dir.path("slow.wav"), wavb::wav({.rate = 22050}, std::string(300, '\x40')));
    wavb::write_file(f.dir.path("fast.wav"), wavb::wav({.rate = 8000}, std::string(300, '\x40')));
    wavb::write_file(f.dir.path("notes.wav"), "kein Audio, nur Text\n");
    f.fields.useranf[0] = "ok.wav";
    f.fields.userloop[0] = "gone.wav";
    f.fields.userend[0] = "notes.wav";
    f.fields.useranf[1] = "slow.wav";
    f.fields.userloop[1] = "fast.wav";
    f.fields.userend[1] = "../outside.wav";
    f.fields.useranf[2] = "(leer)";
    const ProjectCheck c = f.check();

    EXPECT_EQ(c.fields[kBaseField].issue, FieldIssue::NoBase);
    EXPECT_TRUE(c.fields[kBaseField].error());
    EXPECT_EQ(c.fields[0].issue, FieldIssue::None);
    EXPECT_EQ(c.fields[1].issue, FieldIssue::Missing);
    EXPECT_EQ(c.fields[1].reason, "„gone.wav“ fehlt im Projektordner " + f.dir.root());
    EXPECT_EQ(c.fields[2].issue, FieldIssue::Unusable);
    EXPECT_EQ(c.fields[2].reason,
              "„notes.wav“ ist keine WAV-Datei, die das Modul liest: File zu kurz (#1)");
    EXPECT_EQ(c.fields[3].issue, FieldIssue::OtherRate);
    EXPECT_FALSE(c.fields[3].error());
    EXPECT_EQ(
        c.fields[3].reason,
        "„slow.wav“ hat 22050 Hz statt 13021 Hz: das Modul spielt den Teil langsamer und tiefer");
    EXPECT_NE(c.fields[4].reason.find("schneller und höher"), std::string::npos);
    EXPECT_EQ(c.fields[5].issue, FieldIssue::Unusable);
    EXPECT_NE(c.fields[5].reason.find("außerhalb des Projektordners"), std::string::npos);
    EXPECT_EQ(c.fields[6].issue, FieldIssue::None);

    // The run itself stops at the missing base file and names nothing else.
    const RunResult r = run(f);
    EXPECT_TRUE(r.failed);
    EXPECT_EQ(r.log_text.find("gone.wav"), std::string::npos);
}

TEST(FieldCheck, TheBaseFileMustHoldTheAddressTable) {
    Folder f;
    f.fields.dsdfilename = "missing.DS3";
    EXPECT_EQ(f.check().fields[kBaseField].issue, FieldIssue::Missing);
    f.base(0);
    EXPECT_EQ(f.check().fields[kBaseField].reason, "„base.DS3“ ist leer");
    f.base(205);
    EXPECT_EQ(f.check().fields[kBaseField].reason,
              "„base.DS3“ ist zu kurz: 205 Bytes, die Adresstabelle braucht 206");
    EXPECT_TRUE(run(f).failed);
    f.base(206);
    EXPECT_EQ(f.check().fields[kBaseField].issue, FieldIssue::None);
}

TEST(FieldCheck, APartBeyondTheFreeFlashIsTooLongAndSoIsEveryOneBehindIt) {
    Folder f;
    f.base(1000);
    // 4,191,000 samples nearly fill the flash; then two parts of 0.1 s: the first still fits
    // (998 bytes are left behind it), the second does not.
    wavb::write_file(f.dir.path("long.wav"), wavb::wav({}, std::string(4191000, '\x40')));
    wavb::write_file(f.dir.path("short.wav"), wavb::wav({}, std::string(1302, '\x40')));
    f.fields.userloop[0] = "long.wav";
    f.fields.useranf[1] = "short.wav";
    f.fields.useranf[2] = "short.wav";
    ProjectCheck c = f.check();
    EXPECT_EQ(c.fields[1].issue, FieldIssue::None);
    EXPECT_EQ(c.fields[3].issue, FieldIssue::None);
    EXPECT_EQ(c.fields[6].issue, FieldIssue::TooLong);
    EXPECT_FALSE(c.fields[6].error()); // the run warns and still writes the image
    EXPECT_EQ(c.fields[6].reason, "„short.wav“ passt nicht mehr in den Flash: 0,1 s lang, davor "
                                  "noch 0,0 s frei bei 13021 Hz");

    // The check's image size is the run's, and the run's size line agrees.
    const RunResult r = run(f);
    EXPECT_EQ(c.image_size, r.flashpos);
    EXPECT_NE(r.log_text.find("Zu groß für 32Mbit"), std::string::npos);

    // The field about to be replaced does not count.
    c = f.check({1});
    EXPECT_EQ(c.fields[1].issue, FieldIssue::None);
    EXPECT_EQ(c.fields[6].issue, FieldIssue::None);
}
