#include "mainframe/queue_store.h"

#include "mainframe/row_look.h"
#include "mainframe/task_lists.h"
#include "platform/atomic_file.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/time.h"

#include <json/json.h>

#include <cmath>
#include <memory>

namespace mainframe {

using convert::ConvertMode;
using convert::ConvertTask;
using convert::TaskState;

namespace {

constexpr const char* kFormatName = "quorin-queue";
constexpr int kFormatVersion = 1;
// A state file larger than this is not ours (a list of 100,000 files is far smaller).
constexpr std::int64_t kMaxStateBytes = 64u << 20;

bool validMode(int mode) {
    return mode >= 0 && mode <= static_cast<int>(ConvertMode::Compress);
}
bool validState(int state) {
    return state >= 0 && state <= static_cast<int>(TaskState::Failed);
}

Json::Value toJson(const SavedTask& t) {
    Json::Value v(Json::objectValue);
    v["source"] = t.source;
    v["mode"] = static_cast<int>(t.mode);
    v["output_name"] = t.output_name;
    v["format"] = t.target.format;
    v["preset"] = t.target.preset;
    v["compress_level"] = t.compress_level;
    v["clip"] = Json::Value(Json::arrayValue);
    v["clip"].append(t.clip_start);
    v["clip"].append(t.clip_end);
    Json::Value crop(Json::arrayValue);
    for (int n : {t.crop_x, t.crop_y, t.crop_width, t.crop_height})
        crop.append(n);
    v["crop"] = crop;
    v["keep_ratio"] = t.keep_ratio;
    v["speed"] = t.speed;
    v["volume"] = t.volume;
    v["state"] = static_cast<int>(t.state);
    v["output_path"] = t.output_path;
    return v;
}

// Reads one task; false when a member has the wrong type or an impossible value.
bool fromJson(const Json::Value& v, SavedTask& t) {
    if (!v.isObject() || !v["source"].isString() || v["source"].asString().empty())
        return false;
    const auto intAt = [](const Json::Value& x, int& out) {
        if (!x.isInt())
            return false;
        out = x.asInt();
        return true;
    };
    int mode = 0, state = 0;
    if (!intAt(v["mode"], mode) || !validMode(mode) || !intAt(v["state"], state) || !validState(state))
        return false;
    t.source = v["source"].asString();
    t.mode = static_cast<ConvertMode>(mode);
    t.state = static_cast<TaskState>(state);
    t.output_name = v["output_name"].isString() ? v["output_name"].asString() : std::string();
    t.output_path = v["output_path"].isString() ? v["output_path"].asString() : std::string();
    if (!intAt(v["format"], t.target.format) || !intAt(v["preset"], t.target.preset) ||
        !intAt(v["compress_level"], t.compress_level) || t.compress_level < 0 || t.compress_level > 2)
        return false;
    const Json::Value& clip = v["clip"];
    const Json::Value& crop = v["crop"];
    if (!clip.isArray() || clip.size() != 2 || !crop.isArray() || crop.size() != 4)
        return false;
    if (!intAt(clip[0], t.clip_start) || !intAt(clip[1], t.clip_end) || !intAt(crop[0], t.crop_x) ||
        !intAt(crop[1], t.crop_y) || !intAt(crop[2], t.crop_width) || !intAt(crop[3], t.crop_height))
        return false;
    if (t.clip_start < 0 || t.clip_end < t.clip_start || t.crop_x < 0 || t.crop_y < 0 || t.crop_width < 0 ||
        t.crop_height < 0)
        return false;
    if (!v["keep_ratio"].isBool() || !v["speed"].isNumeric() || !v["volume"].isNumeric())
        return false;
    t.keep_ratio = v["keep_ratio"].asBool();
    t.speed = v["speed"].asFloat();
    t.volume = v["volume"].asFloat();
    // The speed and volume rules of the clip dialog bound both; anything else is foreign.
    return std::isfinite(t.speed) && t.speed > 0 && t.speed <= 100 && std::isfinite(t.volume) &&
           t.volume >= 0 && t.volume <= 100;
}

}  // namespace

std::string queueToJson(const SavedQueue& queue) {
    Json::Value root(Json::objectValue);
    root["format"] = kFormatName;
    root["version"] = kFormatVersion;
    root["current_mode"] = static_cast<int>(queue.current_mode);
    Json::Value tasks(Json::arrayValue);
    for (const SavedTask& t : queue.tasks)
        tasks.append(toJson(t));
    root["tasks"] = tasks;
    Json::StreamWriterBuilder writer;
    writer["indentation"] = " ";
    return Json::writeString(writer, root) + "\n";
}

std::optional<SavedQueue> queueFromJson(std::string_view text, std::string* error) {
    const auto fail = [error](const char* why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    builder["rejectDupKeys"] = true;
    builder["stackLimit"] = 64;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string parse_error;
    try {
        if (!reader->parse(text.data(), text.data() + text.size(), &root, &parse_error))
            return fail("not JSON");
    } catch (const Json::Exception&) {  // nesting deeper than stackLimit
        return fail("not JSON");
    }
    if (!root.isObject() || root["format"] != kFormatName)
        return fail("not a queue file");
    if (!root["version"].isInt() || root["version"].asInt() != kFormatVersion)
        return fail("unknown version");
    if (!root["current_mode"].isInt() || !validMode(root["current_mode"].asInt()) || !root["tasks"].isArray())
        return fail("damaged");
    SavedQueue queue;
    queue.current_mode = static_cast<ConvertMode>(root["current_mode"].asInt());
    for (const Json::Value& v : root["tasks"]) {
        SavedTask t;
        if (!fromJson(v, t))
            return fail("damaged task");
        queue.tasks.push_back(std::move(t));
    }
    return queue;
}

SavedQueue snapshotQueue(const TaskLists& lists) {
    SavedQueue queue;
    queue.current_mode = lists.mode();
    for (int m = 0; m <= static_cast<int>(ConvertMode::Compress); ++m) {
        for (const RowModel* row : lists.rows(static_cast<ConvertMode>(m))) {
            const ConvertTask& task = *row->task();
            SavedTask t;
            t.source = task.added_path;
            t.mode = static_cast<ConvertMode>(m);
            t.output_name = task.output_name;
            t.target = row->target;
            t.compress_level = task.compress_level;
            const RowModel::ClipCrop clip =
                task.ready.load(std::memory_order_acquire)
                    ? RowModel::ClipCrop{task.clip_start, task.clip_end,   task.crop_x,
                                         task.crop_y,     task.crop_width, task.crop_height}
                    : row->added_clip;
            t.clip_start = clip.clip_start;
            t.clip_end = clip.clip_end;
            t.crop_x = clip.crop_x;
            t.crop_y = clip.crop_y;
            t.crop_width = clip.crop_width;
            t.crop_height = clip.crop_height;
            t.keep_ratio = task.keep_ratio;
            t.speed = task.speed;
            t.volume = task.volume;
            t.state = task.state.load(std::memory_order_acquire);
            // A finished job's result; for a running one only the file the window saw
            // it write (the job sets output_path on its own thread).
            if (t.state == TaskState::Done)
                t.output_path = task.output_path;
            else if (t.state == TaskState::Running || t.state == TaskState::Queued)
                t.output_path = row->job_output;
            queue.tasks.push_back(std::move(t));
        }
    }
    return queue;
}

QueueStore::QueueStore(std::filesystem::path file)
    : file_(file.empty() ? platform::dataDir() / "queue.json" : std::move(file)) {}

bool QueueStore::save(const SavedQueue& queue) const {
    return save(queueToJson(queue));
}

bool QueueStore::save(const std::string& json) const {
    return platform::writeFileAtomically(file_, json);
}

QueueStore::Loaded QueueStore::load() const {
    Loaded loaded;
    std::error_code ec;
    if (!std::filesystem::exists(file_, ec))
        return loaded;
    std::optional<SavedQueue> queue;
    if (const auto text = platform::readWholeFile(file_, kMaxStateBytes))
        queue = queueFromJson(*text);
    if (!queue) {
        // Kept for a look, out of the way of the next save.
        std::filesystem::path aside = file_;
        aside += ".damaged-" + std::to_string(platform::nowMicros() / 1000000);
        std::filesystem::rename(file_, aside, ec);
        loaded.set_aside = ec ? std::filesystem::path() : aside;
        return loaded;
    }
    loaded.queue.current_mode = queue->current_mode;
    for (SavedTask& t : queue->tasks) {
        if (!std::filesystem::is_regular_file(t.source, ec)) {
            ++loaded.missing_sources;
            continue;
        }
        if (t.state == TaskState::Queued || t.state == TaskState::Running) {
            // The job died with the program: what it had written is no result.
            if (!t.output_path.empty() && t.output_path != t.source)
                std::filesystem::remove(t.output_path, ec);
            t.output_path.clear();
            t.state = TaskState::New;
        }
        if (t.mode == ConvertMode::Merge) {
            // Merge parts and their names live in the work folder, which is emptied when
            // the program closes: the merge is prepared again from the sources.
            t.output_name.clear();
            if (t.state == TaskState::Done) {
                t.output_path.clear();
                t.state = TaskState::New;
            }
        }
        // Whatever did not finish comes back New, to be probed like a file just added
        // (the probe passes over Stopped tasks: those are the removed ones).
        if (t.state == TaskState::Stopped)
            t.state = TaskState::New;
        loaded.queue.tasks.push_back(std::move(t));
    }
    return loaded;
}

void restoreQueue(TaskLists& lists, const SavedQueue& queue) {
    for (int m = 0; m <= static_cast<int>(ConvertMode::Compress); ++m) {
        const auto mode = static_cast<ConvertMode>(m);
        std::vector<std::string> paths;
        std::vector<const SavedTask*> saved;
        for (const SavedTask& t : queue.tasks) {
            if (t.mode == mode) {
                paths.push_back(t.source);
                saved.push_back(&t);
            }
        }
        if (paths.empty())
            continue;
        lists.setMode(mode);
        lists.AddPaths(paths, [&saved](std::size_t i, ConvertTask& task) {
            const SavedTask& t = *saved[i];
            if (!t.output_name.empty())
                task.output_name = t.output_name;
            task.preset_index = t.target.preset;
            task.compress_level = t.compress_level;
            task.clip_start = t.clip_start;
            task.clip_end = t.clip_end;
            task.crop_x = t.crop_x;
            task.crop_y = t.crop_y;
            task.crop_width = t.crop_width;
            task.crop_height = t.crop_height;
            task.keep_ratio = t.keep_ratio;
            task.speed = t.speed;
            task.volume = t.volume;
            task.output_path = t.output_path;
            task.state.store(t.state, std::memory_order_release);
            return std::optional<convert::TargetChoice>(t.target);
        });
    }
    lists.setMode(queue.current_mode);
}

}  // namespace mainframe
