// The files beside the actors besides the rig: the scene settings (scene.txt; the player reads
// them for the animation's end), and the editing mode's drawing order kept in the actors' file names (states/DrawingOrder.h).
#include <cstdio>
#include <filesystem>

#include "actors/Actor.h"
#include "states/DrawingOrder.h"
#include "states/MainState.h"

void MainState::loadSceneSettings() {
    sceneSettings.setFolder(paths.actorFolder);
    sceneSettings.load(actors, frameCount, isEditing());
}

void MainState::saveSceneSettings(SaveReport& report) {
    std::string error;
    if (!sceneSettings.save(actors, error)) {
        report.failures.push_back(error);
        std::fprintf(stderr, "Not saved: %s\n", error.c_str());
        return;
    }
    report.sceneSettings = sceneSettings.hasFile(actors);
}

OrderSaveReport MainState::saveDrawingOrder() {
    OrderSaveReport report;
    if (actors == namedOrder) return report;
    report.changed = true;
    const auto fail = [&report](const std::string& why) {
        report.failure = "the drawing order is not kept: " + why;
        std::fprintf(stderr, "Not saved: %s\n", report.failure.c_str());
        return report;
    };
    // Texts that name the actors follow the new names; one that could not be read cannot.
    if (!rigEditing.readable()) return fail(rigEditing.filePath() + " could not be read at start");
    if (!sceneSettings.readable()) return fail(sceneSettings.filePath() + " could not be read at start");
    std::vector<std::string> pictures;
    for (const Actor* a : actors) {
        if (a->pictureFile.empty()) return fail(a->name + " has no picture file");
        pictures.push_back(a->pictureFile);
    }
    std::vector<std::string> folderFiles;
    std::error_code ec;
    for (const std::filesystem::directory_entry& e : std::filesystem::directory_iterator(paths.actorFolder, ec))
        folderFiles.push_back(e.path().filename().string());
    if (ec) return fail(paths.actorFolder + " cannot be listed (" + ec.message() + ")");
    const OrderPlan plan = planDrawingOrder(pictures, folderFiles);
    if (!plan.problem.empty()) return fail(plan.problem);

    // The renames: each moved picture, and its data file when it has one.
    std::vector<FileMove> renames;
    std::map<const Actor*, std::string> newName;
    for (std::size_t i = 0; i < actors.size(); ++i) {
        const Actor* a = actors[i];
        if (plan.pictures[i] == a->pictureFile) continue;
        renames.push_back({a->pictureFile, plan.pictures[i], false});
        const std::string name = actorNameFromFileName(plan.pictures[i]);
        if (std::filesystem::exists(a->dataPath(), ec)) renames.push_back({a->name + kActorDataSuffix, name + kActorDataSuffix, false});
        newName[a] = name;
        report.renamed[a->name] = name;
    }
    const auto nameOf = [&newName](const Actor* a) {
        const auto it = newName.find(a);
        return it == newName.end() ? a->name : it->second;
    };
    std::vector<PreparedText> texts;
    std::vector<std::string> names;
    for (const Actor* a : actors) names.push_back(nameOf(a));
    if (rigEditing.hasFile()) texts.push_back({kRigFileName, rigEditing.fileText(names, report.renamed)});
    if (sceneSettings.hasFile(actors)) texts.push_back({SCENE_FILE_NAME, sceneSettings.text(actors, nameOf)});

    FileMover systemMover;
    const RenameOutcome outcome =
        carryOutRenames(paths.actorFolder, renames, texts, fileMover ? *fileMover : systemMover);
    if (!outcome.done && !outcome.journalKept) return fail(outcome.error);
    // The files have their new names (or the next start gives them): so do the actors.
    for (std::size_t i = 0; i < actors.size(); ++i) {
        const auto it = newName.find(actors[i]);
        if (it == newName.end()) continue;
        actors[i]->name = it->second;
        actors[i]->pictureFile = plan.pictures[i];
        ++report.renamedActors;
    }
    rigEditing.renameActors(report.renamed, actors);
    if (sceneSettings.hasFile(actors)) sceneSettings.renamed(sceneSettings.text(actors));
    namedOrder = actors;
    if (!outcome.done) {
        report.notes.push_back(outcome.error);
        std::fprintf(stderr, "tumelora: %s\n", outcome.error.c_str());
    }
    std::fflush(stderr);
    return report;
}
