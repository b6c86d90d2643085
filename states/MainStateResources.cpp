// The main state's resources and music, its per-step advance and its keyboard handlers.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "actors/Actor.h"
#include "app/Application.h"
#include "app/ShowError.h"
#include "platform/Signals.h"
#include "render/Image.h"
#include "render/Renderer2D.h"
#include "states/ActorPictures.h"
#include "states/DrawingOrder.h"
#include "states/MainState.h"
#include "text/BitmapFont.h"
#include "ui/ButtonSkin.h"
#include "ui/SliderSkin.h"

using namespace irr;

const char* const SKIN_PICTURE_FILES[SKIN_PICTURE_COUNT] = {
    "data/button.png",       "data/button-hot.png",          "data/button-active.png",
    "data/button-hot-active.png", "data/slider-base.png",    "data/slider-thumb.png",
    "data/slider-thumb-active.png", "data/checkbox.png",     "data/checkbox-active.png",
    "data/checkbox-check.png",
};

FSOUND_STREAM* musicStream = nullptr;
std::atomic<bool> musicEnded{false};

namespace {

// Flags word -1: the renderer's default flags.
constexpr u32 RENDERER_DEFAULT_FLAGS = 0xFFFFFFFFu;
// The check mark sinks a quarter pixel while its box is pressed.
constexpr float CHECK_PRESSED_OFFSET_Y = 0.25f;

// Drops the actors drawn with these pictures (from the actor order and from their owner), and
// the pictures.
void dropActorsOf(const std::vector<Image*>& failed, std::vector<std::unique_ptr<Image>>& images,
                  std::vector<Actor*>& actors, std::vector<std::unique_ptr<Actor>>& owned) {
    for (Image* image : failed) {
        const auto drawnWith = [image](const Actor* a) { return a->image == image; };
        actors.erase(std::remove_if(actors.begin(), actors.end(), drawnWith), actors.end());
        owned.erase(std::remove_if(owned.begin(), owned.end(),
                                   [&](const std::unique_ptr<Actor>& a) { return drawnWith(a.get()); }),
                    owned.end());
        images.erase(std::remove_if(images.begin(), images.end(),
                                    [image](const std::unique_ptr<Image>& i) { return i.get() == image; }),
                     images.end());
    }
}

}  // namespace

signed char onMusicEnd(FSOUND_STREAM*, void*, int, void*) {
    musicEnded = true;
    return 0;
}

MainState::MainState() = default;

MainState::~MainState() = default;

bool MainState::init() {
    app = theApplication();
    if (!app) return false;
    Renderer2D* renderer = app->renderer();

    if (!FSOUND_Init(SOUND_MIX_RATE, SOUND_CHANNELS, 0))
        showError("Audio error", "Unable to initialize sound! (%d)", FSOUND_GetError());
    musicStream = FSOUND_Stream_Open(paths.musicFile.c_str(), FSOUND_MPEGACCURATE, 0, 0);
    if (!musicStream) showError("Audio error", "Can't load music %s", paths.musicFile.c_str());
    FSOUND_Stream_SetEndCallback(musicStream, onMusicEnd, nullptr);

    font = std::make_unique<BitmapFont>(renderer, paths.programFile(FONT_FILE).c_str());
    if (!font->load()) return false;

    // The skin pictures share textures (Renderer2D packing), packed before the skins take them:
    // one whose texture cannot be made is null, like one that cannot be read.
    if (renderer) renderer->beginPacking();
    for (const char* file : SKIN_PICTURE_FILES)
        images.emplace_back(renderer ? renderer->loadImage(paths.programFile(file).c_str(), RENDERER_DEFAULT_FLAGS)
                                     : nullptr);
    if (renderer)
        for (Image* failed : renderer->endPacking())
            for (std::unique_ptr<Image>& image : images)
                if (image.get() == failed) image.reset();
    const auto skin = [this](SkinPicture index) { return images[index].get(); };

    buttonSkin = std::make_unique<ButtonSkin>(font.get(), skin(SKIN_BUTTON), skin(SKIN_BUTTON_HOT),
                                              skin(SKIN_BUTTON_ACTIVE), skin(SKIN_BUTTON_HOT_ACTIVE));
    buttonSkin->setTextScale(BUTTON_TEXT_SCALE);
    sliderSkin = std::make_unique<SliderSkin>(nullptr, nullptr, nullptr, nullptr, skin(SKIN_SLIDER_THUMB),
                                              skin(SKIN_SLIDER_THUMB), skin(SKIN_SLIDER_THUMB_ACTIVE),
                                              skin(SKIN_SLIDER_THUMB_ACTIVE));
    checkBoxSkin = std::make_unique<ButtonSkin>(nullptr, skin(SKIN_CHECKBOX), skin(SKIN_CHECKBOX),
                                                skin(SKIN_CHECKBOX_ACTIVE), skin(SKIN_CHECKBOX_ACTIVE));
    checkBoxSkin->setPressedIconOffset(0.f, CHECK_PRESSED_OFFSET_Y);

    mousePosition.set(app->screenWidth() / 2, app->screenHeight() / 2);

    // A Save that renamed files for the drawing order and did not end is finished first.
    for (const std::string& message : finishDrawingOrder(paths.actorFolder).messages) reportLoadProblem(message);
    loadSettings();
    // The actors' pictures are packed once all are read: an actor whose picture gets no
    // texture is skipped, like one whose picture cannot be read.
    if (renderer) renderer->beginPacking();
    scanActors();
    if (renderer) dropActorsOf(renderer->endPacking(), images, actors, actorStore);
    namedOrder = actors;

    for (const Actor* actor : actors)
        if (int(actor->poses.size()) > frameCount) frameCount = int(actor->poses.size());
    if (isEditing()) loadRig();
    // The player reads the scene settings for the animation's end.
    loadSceneSettings();

    return font && buttonSkin;
}

void MainState::scanActors() {
    IrrlichtDevice* device = app->device();
    io::IFileSystem* fs = device ? device->getFileSystem() : nullptr;
    if (!fs) return;
    const io::path saved = fs->getWorkingDirectory();
    // Without the folder there is nothing to list (the working directory's own files are not actors).
    if (!fs->changeWorkingDirectoryTo(paths.actorFolder.c_str())) return;
    io::IFileList* list = fs->createFileList();
    fs->changeWorkingDirectoryTo(saved);
    if (!list) return;
    std::vector<std::string> files;
    for (u32 i = 0; i < list->getFileCount(); ++i) files.push_back(list->getFileName(i).c_str());
    list->drop();
    forEachActorPicture(
        files,
        [this](const std::string& file) {
            const size_t before = actors.size();
            createActor(file.c_str());
            return actors.size() > before;
        },
        [this](const std::string& file, const std::string& first) {
            loadProblems.push_back(sameNameProblem(paths.actorFolder, file, first));
            showError("Error", "%s is not loaded: %s already uses its data file %s.",
                      (paths.actorFolder + file).c_str(), (paths.actorFolder + first).c_str(),
                      (paths.actorFolder + actorNameFromFileName(file) + kActorDataSuffix).c_str());
        });
}

void MainState::createActor(const char* fileName) {
    Renderer2D* renderer = app ? app->renderer() : nullptr;
    if (!renderer || !fileName) return;
    const std::string path = paths.actorFolder + fileName;
    std::string problem;
    // The editing mode picks actors by their drawn pixels: it keeps each picture's mask.
    PictureMask mask;
    std::unique_ptr<Image> image =
        loadActorPicture(*renderer, path, RENDERER_DEFAULT_FLAGS, problem, isEditing() ? &mask : nullptr);
    if (!image) {
        reportLoadProblem(path + " is not loaded: " + problem);
        return;
    }
    actorStore.push_back(std::make_unique<Actor>(actorNameFromFileName(fileName), image.get(), true, paths.actorFolder));
    images.push_back(std::move(image));
    Actor* actor = actorStore.back().get();
    actor->pictureFile = fileName;
    if (!mask.empty()) {
        actor->drawnArea = mask.drawnBounds();
        actor->mask = std::move(mask);
    }
    actors.push_back(actor);
    if (actor->trackFile == Actor::TrackFile::Unreadable)
        reportLoadProblem(actor->dataPath() + " cannot be read: " + actor->trackProblem +
                          "; the actor starts at the default pose, and Save leaves the file as it is "
                          "unless the actor is edited");
    else if (actor->trackFile == Actor::TrackFile::CutShort)
        reportLoadProblem(actor->dataPath() + " is " + actor->trackProblem);
}

void MainState::loadSettings() {
    settingsPath = userSettingsPath();
    settings = loadUserSettings(settingsPath);
    if (!settings.problem.empty()) reportLoadProblem(settings.problem);
    audioDelayMs = audioDelayOverridden ? audioDelayOverride : settings.settings.audioDelayMs;
}

void MainState::reportLoadProblem(const std::string& problem) {
    loadProblems.push_back(problem);
    std::fprintf(stderr, "tumelora: %s\n", problem.c_str());
    std::fflush(stderr);
}

void MainState::shutdown() {
    if (extension) extension->shutdown();
    buttonSkin.reset();
    sliderSkin.reset();
    checkBoxSkin.reset();
    font.reset();
    pickList.clear();
    draggedActor = nullptr;
    selectedActor = nullptr;
    actors.clear();
    actorStore.clear();
    images.clear();
    FSOUND_Stream_Stop(musicStream);
    FSOUND_Stream_Close(musicStream);
    musicStream = nullptr;
    for (int channel = 0; channel < SOUND_CHANNELS; ++channel) FSOUND_StopSound(channel);
    FSOUND_Close();
}

void MainState::enter() {
    if (app) app->setTimeSource([this](double* ms) { return musicClock(ms); });
    if (extension) {
        extension->enter();
        return;
    }
    IrrlichtDevice* device = app ? app->device() : nullptr;
    if (device) {
        // In short slices, so that a quit signal is not kept waiting by the pause.
        for (u32 paused = 0; paused < ENTER_PAUSE_MS && !quitSignal(); paused += QUIT_POLL_MS)
            device->sleep(QUIT_POLL_MS, false);
        if (gui::ICursorControl* cursor = device->getCursorControl()) cursor->setVisible(false);
    }
    GameState::enter();
    FSOUND_Stream_Play(MUSIC_CHANNEL, musicStream);
    playing = true;
}

void MainState::leave() {
    if (app) app->setTimeSource(nullptr);
    if (extension) extension->leave();
}

bool MainState::heardMusicMs(double* ms) const {
    double heard = 0.0;
    if (!tumeloraSoundIsPlayed() || !tumeloraStreamHeardMs(musicStream, &heard)) return false;
    *ms = heard - audioDelayMs;
    return true;
}

void MainState::setMusicSpeed(double speed) {
    musicSpeed_ = speed;
    tumeloraStreamSetSpeed(musicStream, speed);
    if (app) app->setClockRate(speed);
}

bool MainState::musicClock(double* ms) {
    double heardMs = 0.0;
    // Nothing is heard on SDL's dummy or disk driver: their position follows no listener's
    // clock, so the tick clock runs.
    if (!app || !(playing || recording) || !tumeloraSoundIsHeard() || !heardMusicMs(&heardMs)) return false;
    *ms = musicClockMs(app->clock.simulatedTimeMs, heardMs, currentFrame);
    return true;
}

void MainState::startMusicAtCurrentFrame() {
    seekMusicToCurrentFrame();
    if (musicTimeOfFrame(currentFrame) < FSOUND_Stream_GetLengthMs(musicStream))
        FSOUND_Stream_Play(MUSIC_CHANNEL, musicStream);
}

void MainState::seekMusicToCurrentFrame() {
    // The sound layer clamps a time past the end to the end, and a stream played from its end
    // starts over (ending it would end the program): past its end the music is stopped.
    const int ms = musicTimeOfFrame(currentFrame);
    if (ms >= FSOUND_Stream_GetLengthMs(musicStream)) FSOUND_Stream_Stop(musicStream);
    FSOUND_Stream_SetTime(musicStream, ms);
}

int MainState::playbackStop(int from) const {
    const int end = sceneSettings.endFrame();
    return end >= 0 && from <= end && end + 1 < frameCount ? end + 1 : frameCount;
}

int MainState::startOffline() {
    GameState::enter();
    currentFrame = 0;
    recording = false;
    playing = true;
    return frameCount;
}

bool MainState::update(int stepMs) {
    GameState::update(stepMs);
    if (playing) {
        const int stop = playbackStop(currentFrame);
        ++currentFrame;
        if (currentFrame >= stop) {
            playing = false;
            FSOUND_Stream_Stop(musicStream);
            currentFrame = stop - 1;
        }
    } else if (recording) {
        if (currentFrame < frameCount) ++currentFrame;
        if (currentFrame >= frameCount) ++frameCount;
    }
    for (Actor* actor : actors) actor->followPose(currentFrame);
    if (extension) extension->afterUpdate();
    if (musicEnded && app) {
        // The editor goes on when the music runs out: its edits may not be saved yet.
        if (extension)
            musicEnded = false;
        else
            app->setRunning(false);
    }
    return true;
}

bool MainState::keyDown(const SEvent::SKeyInput* key) {
    if (!key) return false;
    if (extension && extension->keyDown(key)) return false;
    const UiKeyEvent event = keyEventOf(key);
    ui.setKeyEvent(event);
    // Return and the arrows act on the focused widget at once (a mouse press drops them).
    switch (event.command) {
        case UiKeyCommand::Activate:
        case UiKeyCommand::Left:
        case UiKeyCommand::Right:
        case UiKeyCommand::Up:
        case UiKeyCommand::Down: runPanel(false); break;
        default: break;
    }
    if (key->Key == KEY_ESCAPE && app) app->setRunning(false);
    return false;
}

UiKeyEvent MainState::keyEventOf(const SEvent::SKeyInput* key) {
    UiKeyEvent event;
    switch (key->Key) {
        case KEY_TAB:
            event.command = key->Shift ? UiKeyCommand::FocusPrevious : UiKeyCommand::FocusNext;
            break;
        case KEY_RETURN: event.command = UiKeyCommand::Activate; break;
        case KEY_LEFT: event.command = UiKeyCommand::Left; break;
        case KEY_RIGHT: event.command = UiKeyCommand::Right; break;
        case KEY_UP: event.command = UiKeyCommand::Up; break;
        case KEY_DOWN: event.command = UiKeyCommand::Down; break;
        default: event.command = UiKeyCommand::Character; break;
    }
    event.character = int(key->Char);
    event.shift = key->Shift;
    event.control = key->Control;
    event.extra = false;
    event.keyInput = key;
    return event;
}

bool MainState::keyUp(const SEvent::SKeyInput*) { return false; }

bool MainState::mouseWheel(const SEvent::SMouseInput* mouse) {
    if (extension && mouse) extension->mouseWheel(mouse);
    return false;
}
