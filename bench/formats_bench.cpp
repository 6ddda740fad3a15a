// Throughput of the body readers against RapidJSON, nlohmann::json, msgpack-c, yaml-cpp and a bare libyaml event
// loop, each on the same generated text, with the heap blocks one read makes and the most heap it holds at once (the
// tree alive, the reader's storage handed back to the system first); and how fast the YAML reader refuses nesting
// past its bound, beside a bare libyaml event loop that stops at the same depth and one that reads a shorter such
// text to its end.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/reader.h>
#include <yaml.h>

#include <cstdint>
#include <cstdlib>
#include <msgpack.hpp>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>
#include <yaml-cpp/yaml.h>

#include "binding/property_context.h"
#include "formats/json_reader.h"
#include "formats/msgpack_reader.h"
#include "formats/yaml_reader.h"
#include "heap_counter.h"

namespace {

using namespace Zarvo;

// A small deterministic generator, so that every run reads the same inputs.
class Random {
public:
    uint32_t Next(uint32_t bound) {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state_ >> 33) % bound;
    }

private:
    uint64_t state_ = 42;
};

// The shape of an end-of-game statistics block.
struct GameRecord {
    std::string gameMode, gameType, queueType;
    std::vector<std::string> gameMutators;
    bool leveledUp;
    std::vector<int> newSpells;
    int previousLevel, zpEarned;
};

std::vector<GameRecord> MakeRecords(size_t count) {
    static const char* const modes[] = {"CLASSIC", "ARAM", "URF", "TUTORIAL", "PRACTICETOOL"};
    static const char* const types[] = {"MATCHED_GAME", "CUSTOM_GAME", "TUTORIAL_GAME"};
    static const char* const queues[] = {"NORMAL", "RANKED_SOLO_5x5", "RANKED_FLEX_SR", "ARAM_UNRANKED_5x5", "BOT"};
    Random random;
    std::vector<GameRecord> records(count);
    for (GameRecord& record : records) {
        record.gameMode = modes[random.Next(5)];
        record.gameType = types[random.Next(3)];
        record.queueType = queues[random.Next(5)];
        for (uint32_t i = random.Next(4); i > 0; --i)
            record.gameMutators.push_back("mutator-" + std::to_string(random.Next(100)));
        record.leveledUp = random.Next(2) == 1;
        for (uint32_t i = random.Next(4); i > 0; --i) record.newSpells.push_back(static_cast<int>(random.Next(40)));
        record.previousLevel = static_cast<int>(random.Next(500));
        record.zpEarned = static_cast<int>(random.Next(3000));
    }
    return records;
}

const std::vector<GameRecord>& Records() {
    static const std::vector<GameRecord> records = MakeRecords(10000);
    return records;
}

std::string Quoted(const std::string& text) { return '"' + text + '"'; }

template <class Item, class Write>
std::string Joined(const std::vector<Item>& items, Write write) {
    std::string text;
    for (const Item& item : items) text += (text.empty() ? "" : ",") + write(item);
    return text;
}

std::string RecordsJson() {
    std::string text = "[";
    for (const GameRecord& r : Records()) {
        if (text.size() > 1) text += ',';
        text += "{\"gameMode\":" + Quoted(r.gameMode) + ",\"gameMutators\":[" + Joined(r.gameMutators, Quoted) +
                "],\"gameType\":" + Quoted(r.gameType) + ",\"queueType\":" + Quoted(r.queueType) +
                ",\"leveledUp\":" + (r.leveledUp ? "true" : "false") + ",\"newSpells\":[" +
                Joined(r.newSpells, [](int n) { return std::to_string(n); }) +
                "],\"previousLevel\":" + std::to_string(r.previousLevel) +
                ",\"zpEarned\":" + std::to_string(r.zpEarned) + "}";
    }
    return text + "]";
}

std::string RecordsYaml() {
    std::string text;
    for (const GameRecord& r : Records()) {
        text += "- gameMode: " + r.gameMode + "\n  gameMutators: [" + Joined(r.gameMutators, [](auto& s) { return s; }) +
                "]\n  gameType: " + r.gameType + "\n  queueType: " + r.queueType +
                "\n  leveledUp: " + (r.leveledUp ? "true" : "false") + "\n  newSpells: [" +
                Joined(r.newSpells, [](int n) { return std::to_string(n); }) +
                "]\n  previousLevel: " + std::to_string(r.previousLevel) +
                "\n  zpEarned: " + std::to_string(r.zpEarned) + "\n";
    }
    return text;
}

std::string RecordsMessagePack() {
    msgpack::sbuffer buffer;
    msgpack::packer<msgpack::sbuffer> packer(buffer);
    packer.pack_array(static_cast<uint32_t>(Records().size()));
    for (const GameRecord& r : Records()) {
        packer.pack_map(8);
        packer.pack("gameMode").pack(r.gameMode);
        packer.pack("gameMutators").pack(r.gameMutators);
        packer.pack("gameType").pack(r.gameType);
        packer.pack("queueType").pack(r.queueType);
        packer.pack("leveledUp").pack(r.leveledUp);
        packer.pack("newSpells").pack(r.newSpells);
        packer.pack("previousLevel").pack(r.previousLevel);
        packer.pack("zpEarned").pack(r.zpEarned);
    }
    return {buffer.data(), buffer.size()};
}

// 200,000 numbers: integers of every size, negative ones, and decimals with and without exponents.
std::string NumbersJson() {
    Random random;
    std::string text = "[";
    for (int i = 0; i < 200000; ++i) {
        if (i) text += ',';
        switch (random.Next(4)) {
            case 0: text += std::to_string(random.Next(1000)); break;
            case 1: text += std::to_string(uint64_t{random.Next(UINT32_MAX)} * 4000000007u); break;
            case 2: text += '-' + std::to_string(random.Next(100000)); break;
            default: text += std::to_string(random.Next(100000)) + '.' + std::to_string(random.Next(1000)) + "e-3";
        }
    }
    return text + "]";
}

// The same numbers: integers as MessagePack integers, decimals as doubles; and as a YAML block sequence.
std::string NumbersMessagePack() {
    Random random;
    msgpack::sbuffer buffer;
    msgpack::packer<msgpack::sbuffer> packer(buffer);
    packer.pack_array(200000);
    for (int i = 0; i < 200000; ++i) {
        switch (random.Next(4)) {
            case 0: packer.pack(random.Next(1000)); break;
            case 1: packer.pack(uint64_t{random.Next(UINT32_MAX)} * 4000000007u); break;
            case 2: packer.pack(-static_cast<int64_t>(random.Next(100000))); break;
            default: {
                const uint32_t whole = random.Next(100000), fraction = random.Next(1000);
                packer.pack(std::stod(std::to_string(whole) + '.' + std::to_string(fraction) + "e-3"));
            }
        }
    }
    return {buffer.data(), buffer.size()};
}

std::string NumbersYaml() {
    std::string json = NumbersJson(), text;
    for (size_t start = 1; start < json.size();) {
        size_t end = json.find_first_of(",]", start);
        text += "- " + json.substr(start, end - start) + "\n";
        start = end + 1;
    }
    return text;
}

// Eight texts of 256 KB as one MessagePack array, 2.1 MB.
std::string LongStringsMessagePack() {
    Random random;
    msgpack::sbuffer buffer;
    msgpack::packer<msgpack::sbuffer> packer(buffer);
    packer.pack_array(8);
    for (int i = 0; i < 8; ++i) {
        std::string text(256 * 1024, ' ');
        for (char& c : text) c = static_cast<char>('a' + random.Next(26));
        packer.pack(text);
    }
    return {buffer.data(), buffer.size()};
}

// 1,000 strings of about 1 KB, with quote, backslash, control and \u escapes among plain text.
std::string LongStringsJson() {
    static const char* const pieces[] = {"The quick brown fox ", "jumps over ", "\\\"the\\\" lazy dog",
                                         "\\n", "\\t", "\\\\", "caf\\u00e9 ", "\\ud83d\\ude00", "plain text "};
    Random random;
    std::string text = "[";
    for (int i = 0; i < 1000; ++i) {
        text += i ? ",\"" : "\"";
        for (size_t start = text.size(); text.size() - start < 1000;) text += pieces[random.Next(9)];
        text += '"';
    }
    return text + "]";
}

const std::string kAcknowledgement = R"({"seenThisEvent":true,"newSummonerLevel":30})";
const std::string kYamlAcknowledgement = "seenThisEvent: true\nnewSummonerLevel: 30\n";

const std::string& Input(const std::string& name) {
    static const std::string records = RecordsJson(), numbers = NumbersJson(), strings = LongStringsJson(),
                             yaml = RecordsYaml(), messagePack = RecordsMessagePack(),
                             numbersMessagePack = NumbersMessagePack(), numbersYaml = NumbersYaml(),
                             stringsMessagePack = LongStringsMessagePack();
    if (name == "records") return records;
    if (name == "numbers") return numbers;
    if (name == "strings") return strings;
    if (name == "records.yaml") return yaml;
    if (name == "records.msgpack") return messagePack;
    if (name == "numbers.msgpack") return numbersMessagePack;
    if (name == "numbers.yaml") return numbersYaml;
    if (name == "strings.msgpack") return stringsMessagePack;
    if (name == "acknowledgement.yaml") return kYamlAcknowledgement;
    return kAcknowledgement;
}

// Times the parse, and beside it counts the heap blocks of one parse and the most heap it holds at once above what
// was held before, once the storage the readers keep for later trees has gone back: every reader pays for its
// memory from the system.
template <class Parse>
void Run(benchmark::State& state, const std::string& text, Parse parse) {
    ReleaseIdlePropertyStorage();
    const BenchHeap::Use heap = BenchHeap::Measure([&] { parse(text); });
    for (auto _ : state) parse(text);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["allocs"] = static_cast<double>(heap.allocations);
    state.counters["peak_heap"] = static_cast<double>(heap.peakBytes);
    state.counters["peak_per_byte"] = static_cast<double>(heap.peakBytes) / static_cast<double>(text.size());
}

void JsonReader(benchmark::State& state, const char* input) {
    Run(state, Input(input), [](const std::string& text) {
        BindingResult result = ParseJson(text);
        benchmark::DoNotOptimize(result.ok);
    });
}

void RapidJsonDocument(benchmark::State& state, const char* input) {
    Run(state, Input(input), [](const std::string& text) {
        rapidjson::Document document;
        document.Parse(text.data(), text.size());
        benchmark::DoNotOptimize(document.HasParseError());
    });
}

void RapidJsonSaxOnly(benchmark::State& state, const char* input) {
    Run(state, Input(input), [](const std::string& text) {
        rapidjson::BaseReaderHandler<> handler;
        rapidjson::StringStream stream(text.c_str());
        rapidjson::Reader reader;
        benchmark::DoNotOptimize(reader.Parse(stream, handler).IsError());
    });
}

void NlohmannJson(benchmark::State& state, const char* input) {
    Run(state, Input(input), [](const std::string& text) {
        nlohmann::json document = nlohmann::json::parse(text);
        benchmark::DoNotOptimize(document.size());
    });
}

void MessagePackReader(benchmark::State& state, const char* input) {
    Run(state, Input(input), [](const std::string& text) {
        size_t consumed = 0;
        BindingResult result = DecodeMessagePack(reinterpret_cast<const uint8_t*>(text.data()), text.size(), consumed);
        benchmark::DoNotOptimize(result.ok);
    });
}

void MsgpackCUnpack(benchmark::State& state, const char* input) {
    Run(state, Input(input), [](const std::string& text) {
        msgpack::object_handle handle = msgpack::unpack(text.data(), text.size());
        benchmark::DoNotOptimize(handle.get().type);
    });
}

void YamlReader(benchmark::State& state, const char* input) {
    Run(state, Input(input), [](const std::string& text) {
        BindingResult result = ReadYaml(text);
        benchmark::DoNotOptimize(result.ok);
    });
}

void YamlCppLoad(benchmark::State& state, const char* input) {
    Run(state, Input(input), [](const std::string& text) {
        YAML::Node node = YAML::Load(text);
        benchmark::DoNotOptimize(node.size());
    });
}

void LibyamlEvents(benchmark::State& state, const char* input) {
    Run(state, Input(input), [](const std::string& text) {
        yaml_parser_t parser;
        yaml_parser_initialize(&parser);
        yaml_parser_set_encoding(&parser, YAML_UTF8_ENCODING);
        yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text.data()), text.size());
        yaml_event_t event;
        bool more = true;
        while (more && yaml_parser_parse(&parser, &event)) {
            more = event.type != YAML_STREAM_END_EVENT;
            yaml_event_delete(&event);
        }
        yaml_parser_delete(&parser);
    });
}

std::string Repeated(std::string_view piece, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += piece;
    return text;
}

// Deep nesting: 100,000 levels of "[", of "[" closed by as many "]", and of "{a: ".
std::string Nested(const std::string& shape, size_t levels) {
    if (shape == "open") return Repeated("[", levels);
    if (shape == "closed") return Repeated("[", levels) + Repeated("]", levels);
    return Repeated("{a: ", levels);
}

void YamlReaderRefusesDeepNesting(benchmark::State& state, const char* shape) {
    Run(state, Nested(shape, 100000), [](const std::string& text) {
        BindingResult result = ReadYaml(text);
        if (result.ok) std::abort();
    });
}

// libyaml's events up to the end or to the first start event past `maxDepth` open sequences and mappings.
void LibyamlEventsToDepth(const std::string& text, size_t maxDepth) {
    yaml_parser_t parser;
    yaml_parser_initialize(&parser);
    yaml_parser_set_encoding(&parser, YAML_UTF8_ENCODING);
    yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text.data()), text.size());
    yaml_event_t event;
    size_t depth = 0;
    bool more = true;
    while (more && yaml_parser_parse(&parser, &event)) {
        if (event.type == YAML_SEQUENCE_START_EVENT || event.type == YAML_MAPPING_START_EVENT) ++depth;
        if (event.type == YAML_SEQUENCE_END_EVENT || event.type == YAML_MAPPING_END_EVENT) --depth;
        more = event.type != YAML_STREAM_END_EVENT && depth <= maxDepth;
        yaml_event_delete(&event);
    }
    yaml_parser_delete(&parser);
}

void LibyamlEventsToDepth512(benchmark::State& state, const char* shape) {
    Run(state, Nested(shape, 100000), [](const std::string& text) { LibyamlEventsToDepth(text, 512); });
}

// Without a bound the scanner's cost grows with the square of the nesting: 10,000 levels, a tenth of the others.
void LibyamlEventsUnbounded(benchmark::State& state, const char* shape) {
    Run(state, Nested(shape, 10000), [](const std::string& text) { LibyamlEventsToDepth(text, SIZE_MAX); });
}

}  // namespace

BENCHMARK_CAPTURE(JsonReader, records, "records");
BENCHMARK_CAPTURE(RapidJsonDocument, records, "records");
BENCHMARK_CAPTURE(RapidJsonSaxOnly, records, "records");
BENCHMARK_CAPTURE(NlohmannJson, records, "records");
BENCHMARK_CAPTURE(JsonReader, numbers, "numbers");
BENCHMARK_CAPTURE(RapidJsonDocument, numbers, "numbers");
BENCHMARK_CAPTURE(RapidJsonSaxOnly, numbers, "numbers");
BENCHMARK_CAPTURE(NlohmannJson, numbers, "numbers");
BENCHMARK_CAPTURE(JsonReader, strings, "strings");
BENCHMARK_CAPTURE(RapidJsonDocument, strings, "strings");
BENCHMARK_CAPTURE(RapidJsonSaxOnly, strings, "strings");
BENCHMARK_CAPTURE(NlohmannJson, strings, "strings");
BENCHMARK_CAPTURE(JsonReader, acknowledgement, "acknowledgement");
BENCHMARK_CAPTURE(RapidJsonDocument, acknowledgement, "acknowledgement");
BENCHMARK_CAPTURE(RapidJsonSaxOnly, acknowledgement, "acknowledgement");
BENCHMARK_CAPTURE(NlohmannJson, acknowledgement, "acknowledgement");
BENCHMARK_CAPTURE(MessagePackReader, records, "records.msgpack");
BENCHMARK_CAPTURE(MsgpackCUnpack, records, "records.msgpack");
BENCHMARK_CAPTURE(MessagePackReader, numbers, "numbers.msgpack");
BENCHMARK_CAPTURE(MsgpackCUnpack, numbers, "numbers.msgpack");
BENCHMARK_CAPTURE(MessagePackReader, strings, "strings.msgpack");
BENCHMARK_CAPTURE(MsgpackCUnpack, strings, "strings.msgpack");
BENCHMARK_CAPTURE(YamlReader, records, "records.yaml");
BENCHMARK_CAPTURE(YamlCppLoad, records, "records.yaml");
BENCHMARK_CAPTURE(LibyamlEvents, records, "records.yaml");
BENCHMARK_CAPTURE(YamlReader, numbers, "numbers.yaml");
BENCHMARK_CAPTURE(LibyamlEvents, numbers, "numbers.yaml");
BENCHMARK_CAPTURE(YamlReader, acknowledgement, "acknowledgement.yaml");
BENCHMARK_CAPTURE(LibyamlEvents, acknowledgement, "acknowledgement.yaml");
BENCHMARK_CAPTURE(YamlReaderRefusesDeepNesting, open, "open");
BENCHMARK_CAPTURE(LibyamlEventsToDepth512, open, "open");
BENCHMARK_CAPTURE(LibyamlEventsUnbounded, open, "open")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(YamlReaderRefusesDeepNesting, closed, "closed");
BENCHMARK_CAPTURE(LibyamlEventsToDepth512, closed, "closed");
BENCHMARK_CAPTURE(LibyamlEventsUnbounded, closed, "closed")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(YamlReaderRefusesDeepNesting, mappings, "mappings");
BENCHMARK_CAPTURE(LibyamlEventsToDepth512, mappings, "mappings");
BENCHMARK_CAPTURE(LibyamlEventsUnbounded, mappings, "mappings")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
