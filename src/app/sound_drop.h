#pragma once

#include "app/form1_controls.h"
#include "project/project_file.h"

#include <QLineEdit>
#include <QObject>
#include <functional>

class Prompts;

// Files dropped on the project's file fields, and the entry "Umwandeln und zuweisen…" in the
// context menu of each part field. A WAV that the generation run takes as it is (8/16-bit PCM,
// mono or stereo, at 13021 Hz) is assigned as a chosen one is; any other audio file opens the
// conversion window, whose output in the project folder is assigned. A base file dropped on
// its field is checked by its name as the chooser does. Files from other folders are offered
// for copying in.
class SoundDrop : public QObject {
public:
    using ProjectDir = std::function<QString()>;
    using Fields = std::function<melo::ProjectFields()>;
    using PromptsSource = std::function<Prompts&()>;
    // The samples the flash still takes for a new part in the given part field.
    using FreeSamples = std::function<std::int64_t(QLineEdit*)>;

    // Makes the part fields and the base file field of `c` take drops and gives the part
    // fields their context entry. `projfiledir` and `fields` tell the project folder and the
    // project's fields at the moment of use.
    static void install(const Form1Controls& c, ProjectDir projfiledir, Fields fields,
                        PromptsSource prompts, FreeSamples freeSamples);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    SoundDrop(QObject* parent, QLineEdit* base, ProjectDir projfiledir, Fields fields,
              PromptsSource prompts, FreeSamples freeSamples);
    void takePart(QLineEdit* field, const QString& path);
    void takeBase(const QString& path);
    void chooseAndConvert(QLineEdit* field);

    QLineEdit* m_base;
    ProjectDir m_projfiledir;
    Fields m_fields;
    PromptsSource m_prompts;
    FreeSamples m_freeSamples;
};
