#include "bench/DocumentGenerator.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string_view>

namespace {
constexpr int kSignalsPerCluster = 400;
constexpr int kSignalsPerPdu = 4;
constexpr int kSignalsPerComponent = 20;
constexpr int kSignalsPerEcu = 100;
constexpr int kCompuMethods = 64;
constexpr int kInterfaces = 32;
constexpr int kDanglingOneIn = 500;
constexpr size_t kFlushBytes = 1 << 20;

constexpr std::array<std::string_view, 32> kWords = {
    "signal",  "value",   "frame",   "transmitted", "cyclic",  "on",       "change",   "the",
    "of",      "vehicle", "speed",   "engine",      "status",  "request",  "response", "body",
    "gateway", "door",    "window",  "lamp",        "torque",  "pressure", "counter",  "checksum",
    "timeout", "default", "invalid", "range",       "network", "wake-up",  "sleep",    "diagnostic"};

// splitmix64: fixed output for a seed on every platform, unlike the standard distributions.
class Random
{
public:
    explicit Random(uint64_t seed) : state(seed) {}
    uint64_t Next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint64_t Below(uint64_t n) { return Next() % n; }

private:
    uint64_t state;
};

class Writer
{
public:
    Writer(std::ostream& out, uint64_t seed) : out(out), random(seed) { buffer.reserve(kFlushBytes * 2); }

    void Open(std::string_view tag, bool uuid = false)
    {
        Indent();
        buffer += '<';
        buffer += tag;
        if (uuid)
            Uuid();
        buffer += ">\n";
        ++depth;
    }

    void Close(std::string_view tag)
    {
        --depth;
        Indent();
        buffer += "</";
        buffer += tag;
        buffer += ">\n";
        MaybeFlush();
    }

    void Leaf(std::string_view tag, std::string_view text)
    {
        Indent();
        buffer += '<';
        buffer += tag;
        buffer += '>';
        buffer += text;
        buffer += "</";
        buffer += tag;
        buffer += ">\n";
    }

    void Name(std::string_view name)
    {
        Leaf("SHORT-NAME", name);
        ++facts.elements;
    }

    // <TAG DEST="KIND">path</TAG>; one in kDanglingOneIn points at an element that is not there.
    void Reference(std::string_view tag, std::string_view dest, const std::string& path)
    {
        Indent();
        buffer += '<';
        buffer += tag;
        buffer += " DEST=\"";
        buffer += dest;
        buffer += "\">";
        ++facts.references;
        if (random.Below(kDanglingOneIn) == 0) {
            buffer += path;
            buffer += "_Removed";
            ++facts.dangling;
        } else {
            buffer += path;
        }
        buffer += "</";
        buffer += tag;
        buffer += ">\n";
    }

    void Description(int words)
    {
        Open("DESC");
        Indent();
        buffer += "<L-2 L=\"EN\">";
        for (int i = 0; i < words; ++i) {
            if (i > 0)
                buffer += ' ';
            buffer += kWords[random.Below(kWords.size())];
        }
        if (random.Below(16) == 0)
            buffer += " &amp; more";
        buffer += "</L-2>\n";
        Close("DESC");
    }

    void Raw(std::string_view text) { buffer += text; }
    uint64_t Pick(uint64_t n) { return random.Below(n); }

    GeneratedDocument Finish()
    {
        Flush();
        return facts;
    }

    uint64_t Written() const { return facts.bytes + buffer.size(); }

private:
    void Indent() { buffer.append(size_t(depth) * 2, ' '); }

    void Uuid()
    {
        static constexpr char kHex[] = "0123456789abcdef";
        buffer += " UUID=\"";
        uint64_t a = random.Next(), b = random.Next();
        for (int i = 0; i < 32; ++i) {
            if (i == 8 || i == 12 || i == 16 || i == 20)
                buffer += '-';
            uint64_t word = i < 16 ? a : b;
            buffer += kHex[(word >> ((i % 16) * 4)) & 15];
        }
        buffer += '"';
    }

    void MaybeFlush()
    {
        if (buffer.size() >= kFlushBytes)
            Flush();
    }

    void Flush()
    {
        out.write(buffer.data(), std::streamsize(buffer.size()));
        facts.bytes += buffer.size();
        buffer.clear();
    }

    std::ostream& out;
    Random random;
    std::string buffer;
    int depth = 0;
    GeneratedDocument facts;
};

std::string Name(std::string_view prefix, int cluster, int item)
{
    std::string name(prefix);
    name += std::to_string(cluster);
    name += '_';
    name += std::to_string(item);
    return name;
}

void Properties(Writer& w, auto&& body)
{
    w.Open("SW-DATA-DEF-PROPS-VARIANTS");
    w.Open("SW-DATA-DEF-PROPS-CONDITIONAL");
    body();
    w.Close("SW-DATA-DEF-PROPS-CONDITIONAL");
    w.Close("SW-DATA-DEF-PROPS-VARIANTS");
}

// Targets shared by every cluster; uint8 is referenced by most signals.
void CommonPackage(Writer& w)
{
    w.Open("AR-PACKAGE", true);
    w.Name("Common");
    w.Open("AR-PACKAGES");

    w.Open("AR-PACKAGE", true);
    w.Name("BaseTypes");
    w.Open("ELEMENTS");
    for (std::string_view type : {"uint8", "uint16", "uint32", "boolean"}) {
        w.Open("SW-BASE-TYPE", true);
        w.Name(type);
        w.Leaf("CATEGORY", "FIXED_LENGTH");
        w.Leaf("BASE-TYPE-SIZE", type == "uint16" ? "16" : type == "uint32" ? "32" : "8");
        w.Leaf("BASE-TYPE-ENCODING", "NONE");
        w.Close("SW-BASE-TYPE");
    }
    w.Close("ELEMENTS");
    w.Close("AR-PACKAGE");

    w.Open("AR-PACKAGE", true);
    w.Name("CompuMethods");
    w.Open("ELEMENTS");
    for (int i = 0; i < kCompuMethods; ++i) {
        w.Open("COMPU-METHOD", true);
        w.Name("CM_" + std::to_string(i));
        w.Leaf("CATEGORY", "LINEAR");
        w.Open("COMPU-PHYS-TO-INTERNAL");
        w.Open("COMPU-SCALES");
        w.Open("COMPU-SCALE");
        w.Leaf("LOWER-LIMIT", "0");
        w.Leaf("UPPER-LIMIT", std::to_string(255 + i));
        w.Close("COMPU-SCALE");
        w.Close("COMPU-SCALES");
        w.Close("COMPU-PHYS-TO-INTERNAL");
        w.Close("COMPU-METHOD");
    }
    w.Close("ELEMENTS");
    w.Close("AR-PACKAGE");

    w.Open("AR-PACKAGE", true);
    w.Name("Interfaces");
    w.Open("ELEMENTS");
    for (int i = 0; i < kInterfaces; ++i) {
        w.Open("SENDER-RECEIVER-INTERFACE", true);
        w.Name("If_" + std::to_string(i));
        w.Open("DATA-ELEMENTS");
        w.Open("VARIABLE-DATA-PROTOTYPE", true);
        w.Name("Data");
        w.Reference("TYPE-TREF", "SW-BASE-TYPE", "/Common/BaseTypes/uint16");
        w.Close("VARIABLE-DATA-PROTOTYPE");
        w.Close("DATA-ELEMENTS");
        w.Close("SENDER-RECEIVER-INTERFACE");
    }
    w.Close("ELEMENTS");
    w.Close("AR-PACKAGE");

    w.Close("AR-PACKAGES");
    w.Close("AR-PACKAGE");
}

void SystemSignals(Writer& w, int k)
{
    w.Open("AR-PACKAGE", true);
    w.Name("SystemSignals");
    w.Open("ELEMENTS");
    for (int i = 0; i < kSignalsPerCluster; ++i) {
        w.Open("SYSTEM-SIGNAL", true);
        w.Name(Name("SS_", k, i));
        w.Description(4 + int(w.Pick(8)));
        w.Leaf("DYNAMIC-LENGTH", "false");
        w.Open("PHYSICAL-PROPS");
        Properties(w, [&] {
            w.Reference("COMPU-METHOD-REF", "COMPU-METHOD",
                        "/Common/CompuMethods/CM_" + std::to_string(w.Pick(kCompuMethods)));
        });
        w.Close("PHYSICAL-PROPS");
        w.Close("SYSTEM-SIGNAL");
    }
    w.Close("ELEMENTS");
    w.Close("AR-PACKAGE");
}

void Signals(Writer& w, int k, const std::string& base)
{
    w.Open("AR-PACKAGE", true);
    w.Name("Signals");
    w.Open("ELEMENTS");
    for (int i = 0; i < kSignalsPerCluster; ++i) {
        w.Open("I-SIGNAL", true);
        w.Name(Name("Sig_", k, i));
        w.Leaf("DATA-TYPE-POLICY", "LEGACY");
        w.Open("INIT-VALUE");
        w.Open("NUMERICAL-VALUE-SPECIFICATION");
        w.Leaf("VALUE", std::to_string(w.Pick(256)));
        w.Close("NUMERICAL-VALUE-SPECIFICATION");
        w.Close("INIT-VALUE");
        w.Leaf("LENGTH", "8");
        w.Open("NETWORK-REPRESENTATION-PROPS");
        Properties(w, [&] {
            const char* type = w.Pick(8) == 0 ? "/Common/BaseTypes/uint32" : "/Common/BaseTypes/uint8";
            w.Reference("BASE-TYPE-REF", "SW-BASE-TYPE", type);
        });
        w.Close("NETWORK-REPRESENTATION-PROPS");
        w.Reference("SYSTEM-SIGNAL-REF", "SYSTEM-SIGNAL", base + "/SystemSignals/" + Name("SS_", k, i));
        w.Close("I-SIGNAL");
    }
    w.Close("ELEMENTS");
    w.Close("AR-PACKAGE");
}

void Pdus(Writer& w, int k, const std::string& base)
{
    w.Open("AR-PACKAGE", true);
    w.Name("Pdus");
    w.Open("ELEMENTS");
    for (int p = 0; p < kSignalsPerCluster / kSignalsPerPdu; ++p) {
        w.Open("I-SIGNAL-I-PDU", true);
        w.Name(Name("Pdu_", k, p));
        w.Leaf("LENGTH", "8");
        w.Open("I-SIGNAL-TO-PDU-MAPPINGS");
        for (int s = 0; s < kSignalsPerPdu; ++s) {
            int i = p * kSignalsPerPdu + s;
            w.Open("I-SIGNAL-TO-I-PDU-MAPPING", true);
            w.Name(Name("Map_", k, i));
            w.Reference("I-SIGNAL-REF", "I-SIGNAL", base + "/Signals/" + Name("Sig_", k, i));
            w.Leaf("PACKING-BYTE-ORDER", "MOST-SIGNIFICANT-BYTE-LAST");
            w.Leaf("START-POSITION", std::to_string(s * 16));
            w.Leaf("TRANSFER-PROPERTY", "PENDING");
            w.Close("I-SIGNAL-TO-I-PDU-MAPPING");
        }
        w.Close("I-SIGNAL-TO-PDU-MAPPINGS");
        w.Close("I-SIGNAL-I-PDU");
    }
    w.Close("ELEMENTS");
    w.Close("AR-PACKAGE");
}

void Frames(Writer& w, int k, const std::string& base)
{
    w.Open("AR-PACKAGE", true);
    w.Name("Frames");
    w.Open("ELEMENTS");
    for (int p = 0; p < kSignalsPerCluster / kSignalsPerPdu; ++p) {
        w.Open("CAN-FRAME", true);
        w.Name(Name("Frame_", k, p));
        w.Leaf("FRAME-LENGTH", "8");
        w.Open("PDU-TO-FRAME-MAPPINGS");
        w.Open("PDU-TO-FRAME-MAPPING", true);
        w.Name(Name("FrameMap_", k, p));
        w.Leaf("PACKING-BYTE-ORDER", "MOST-SIGNIFICANT-BYTE-LAST");
        w.Reference("PDU-REF", "I-SIGNAL-I-PDU", base + "/Pdus/" + Name("Pdu_", k, p));
        w.Leaf("START-POSITION", "0");
        w.Close("PDU-TO-FRAME-MAPPING");
        w.Close("PDU-TO-FRAME-MAPPINGS");
        w.Close("CAN-FRAME");
    }
    w.Close("ELEMENTS");
    w.Close("AR-PACKAGE");
}

void Components(Writer& w, int k, const std::string& base)
{
    w.Open("AR-PACKAGE", true);
    w.Name("Components");
    w.Open("ELEMENTS");
    for (int c = 0; c < kSignalsPerCluster / kSignalsPerComponent; ++c) {
        std::string swc = Name("Swc_", k, c);
        w.Open("APPLICATION-SW-COMPONENT-TYPE", true);
        w.Name(swc);
        w.Description(6 + int(w.Pick(10)));
        w.Open("PORTS");
        for (int s = 0; s < kSignalsPerComponent; ++s) {
            bool provided = s % 2 == 0;
            const char* tag = provided ? "P-PORT-PROTOTYPE" : "R-PORT-PROTOTYPE";
            w.Open(tag, true);
            w.Name("Port_" + std::to_string(s));
            w.Reference(provided ? "PROVIDED-INTERFACE-TREF" : "REQUIRED-INTERFACE-TREF",
                        "SENDER-RECEIVER-INTERFACE",
                        "/Common/Interfaces/If_" + std::to_string(w.Pick(kInterfaces)));
            w.Close(tag);
        }
        w.Close("PORTS");
        w.Open("INTERNAL-BEHAVIORS");
        w.Open("SWC-INTERNAL-BEHAVIOR", true);
        w.Name("Behavior");
        w.Open("RUNNABLES");
        for (int r = 0; r < 2; ++r) {
            w.Open("RUNNABLE-ENTITY", true);
            w.Name("Run_" + std::to_string(r));
            w.Open("DATA-READ-ACCESSS");
            w.Open("VARIABLE-ACCESS", true);
            w.Name("Read_" + std::to_string(r));
            w.Open("ACCESSED-VARIABLE");
            w.Open("AUTOSAR-VARIABLE-IREF");
            w.Reference("PORT-PROTOTYPE-REF", "R-PORT-PROTOTYPE",
                        base + "/Components/" + swc + "/Port_" + std::to_string(2 * r + 1));
            w.Reference("TARGET-DATA-PROTOTYPE-REF", "VARIABLE-DATA-PROTOTYPE",
                        "/Common/Interfaces/If_0/Data");
            w.Close("AUTOSAR-VARIABLE-IREF");
            w.Close("ACCESSED-VARIABLE");
            w.Close("VARIABLE-ACCESS");
            w.Close("DATA-READ-ACCESSS");
            w.Close("RUNNABLE-ENTITY");
        }
        w.Close("RUNNABLES");
        w.Close("SWC-INTERNAL-BEHAVIOR");
        w.Close("INTERNAL-BEHAVIORS");
        w.Close("APPLICATION-SW-COMPONENT-TYPE");
    }
    w.Close("ELEMENTS");
    w.Close("AR-PACKAGE");
}

void Ecus(Writer& w, int k, const std::string& base)
{
    w.Open("AR-PACKAGE", true);
    w.Name("Ecus");
    w.Open("ELEMENTS");
    for (int e = 0; e < kSignalsPerCluster / kSignalsPerEcu; ++e) {
        w.Open("ECU-INSTANCE", true);
        w.Name(Name("Ecu_", k, e));
        w.Description(3);
        w.Open("COMM-CONTROLLERS");
        w.Open("CAN-COMMUNICATION-CONTROLLER", true);
        w.Name("Controller");
        w.Close("CAN-COMMUNICATION-CONTROLLER");
        w.Close("COMM-CONTROLLERS");
        w.Open("ASSOCIATED-PDUS");
        for (int p = 0; p < kSignalsPerEcu / kSignalsPerPdu; ++p) {
            w.Open("ASSOCIATED-PDU-REF-CONDITIONAL");
            int pdu = e * (kSignalsPerEcu / kSignalsPerPdu) + p;
            w.Reference("PDU-REF", "I-SIGNAL-I-PDU", base + "/Pdus/" + Name("Pdu_", k, pdu));
            w.Close("ASSOCIATED-PDU-REF-CONDITIONAL");
        }
        w.Close("ASSOCIATED-PDUS");
        w.Close("ECU-INSTANCE");
    }
    w.Close("ELEMENTS");
    w.Close("AR-PACKAGE");
}

void Cluster(Writer& w, int k)
{
    std::string name = "Cluster" + std::to_string(k);
    std::string base = "/" + name;
    w.Open("AR-PACKAGE", true);
    w.Name(name);
    w.Description(12);
    w.Open("AR-PACKAGES");
    SystemSignals(w, k);
    Signals(w, k, base);
    Pdus(w, k, base);
    Frames(w, k, base);
    Components(w, k, base);
    Ecus(w, k, base);
    w.Close("AR-PACKAGES");
    w.Close("AR-PACKAGE");
}

// ECU configuration values: each module's containers nest a few levels deep, every container and
// parameter names its definition by a long -REF path into definitions kept in another file (so
// these never resolve, as in real ECU extracts), and reference values point at sibling containers.
constexpr std::array<std::string_view, 8> kModules = {"Com", "PduR", "CanIf", "Dem",
                                                      "Dcm", "NvM",  "EcuM",  "Os"};
constexpr int kContainersPerModule = 40;
constexpr int kSubContainerDepth = 4;

void EcucParameters(Writer& w, const std::string& definition)
{
    w.Open("PARAMETER-VALUES");
    int count = 3 + int(w.Pick(6));
    for (int p = 0; p < count; ++p) {
        bool numerical = w.Pick(3) != 0;
        const char* tag = numerical ? "ECUC-NUMERICAL-PARAM-VALUE" : "ECUC-TEXTUAL-PARAM-VALUE";
        w.Open(tag);
        w.Reference("DEFINITION-REF", numerical ? "ECUC-INTEGER-PARAM-DEF" : "ECUC-ENUMERATION-PARAM-DEF",
                    definition + "/Param" + std::to_string(p));
        w.Leaf("VALUE",
               numerical ? std::to_string(w.Pick(65536)) : "ENUM_VALUE_" + std::to_string(w.Pick(12)));
        w.Close(tag);
    }
    w.Close("PARAMETER-VALUES");
}

void EcucContainer(Writer& w, const std::string& path, const std::string& definition, int depth, int module)
{
    w.Open("ECUC-CONTAINER-VALUE", true);
    w.Name(path.substr(path.rfind('/') + 1));
    w.Reference("DEFINITION-REF", "ECUC-PARAM-CONF-CONTAINER-DEF", definition);
    EcucParameters(w, definition);
    w.Open("REFERENCE-VALUES");
    w.Open("ECUC-REFERENCE-VALUE");
    w.Reference("DEFINITION-REF", "ECUC-REFERENCE-DEF", definition + "/Ref");
    std::string target = "/ActiveEcuC/" + std::string(kModules[w.Pick(kModules.size())]) + "/Set_" +
                         std::to_string(w.Pick(kContainersPerModule));
    w.Reference("VALUE-REF", "ECUC-CONTAINER-VALUE", target);
    w.Close("ECUC-REFERENCE-VALUE");
    w.Close("REFERENCE-VALUES");
    if (depth < kSubContainerDepth) {
        w.Open("SUB-CONTAINERS");
        int children = depth == 0 ? 3 : 1 + int(w.Pick(3));
        for (int c = 0; c < children; ++c) {
            std::string name = "Sub" + std::to_string(depth) + "_" + std::to_string(c);
            EcucContainer(w, path + "/" + name, definition + "/Sub" + std::to_string(depth), depth + 1,
                          module);
        }
        w.Close("SUB-CONTAINERS");
    }
    w.Close("ECUC-CONTAINER-VALUE");
}

void EcucModule(Writer& w, int module, int round)
{
    std::string name(kModules[module]);
    if (round > 0)
        name += "_" + std::to_string(round);
    std::string definition = "/MICROSAR/" + std::string(kModules[module]);
    w.Open("ECUC-MODULE-CONFIGURATION-VALUES", true);
    w.Name(name);
    w.Reference("DEFINITION-REF", "ECUC-MODULE-DEF", definition);
    w.Leaf("IMPLEMENTATION-CONFIG-VARIANT", "VARIANT-PRE-COMPILE");
    w.Open("CONTAINERS");
    for (int c = 0; c < kContainersPerModule; ++c)
        EcucContainer(w, "/ActiveEcuC/" + name + "/Set_" + std::to_string(c), definition + "/" + name + "Set",
                      0, module);
    w.Close("CONTAINERS");
    w.Close("ECUC-MODULE-CONFIGURATION-VALUES");
}

GeneratedDocument WriteEcuc(Writer& w, uint64_t targetBytes)
{
    w.Open("AR-PACKAGES");
    w.Open("AR-PACKAGE", true);
    w.Name("ActiveEcuC");
    w.Open("ELEMENTS");
    uint64_t moduleBytes = 0;
    for (int k = 0; k == 0 || w.Written() + moduleBytes <= targetBytes; ++k) {
        uint64_t before = w.Written();
        EcucModule(w, k % int(kModules.size()), k / int(kModules.size()));
        moduleBytes = w.Written() - before;
    }
    w.Close("ELEMENTS");
    w.Close("AR-PACKAGE");
    w.Close("AR-PACKAGES");
    w.Raw("</AUTOSAR>\n");
    return w.Finish();
}

const char* const kArxmlHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<AUTOSAR xmlns=\"http://autosar.org/schema/r4.0\" "
                                 "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                                 "xsi:schemaLocation=\"http://autosar.org/schema/r4.0 AUTOSAR_00046.xsd\">\n";
} // namespace

GeneratedDocument WriteGeneratedArxml(std::ostream& out, uint64_t targetBytes, uint64_t seed,
                                      GeneratedShape shape)
{
    Writer w(out, seed);
    w.Raw(kArxmlHeader);
    if (shape == GeneratedShape::Ecuc)
        return WriteEcuc(w, targetBytes);
    w.Open("AR-PACKAGES");
    CommonPackage(w);
    // The closing tags are a few dozen bytes; stop as soon as another cluster would overshoot.
    uint64_t clusterBytes = 0;
    for (int k = 0; k == 0 || w.Written() + clusterBytes <= targetBytes; ++k) {
        uint64_t before = w.Written();
        Cluster(w, k);
        clusterBytes = w.Written() - before;
    }
    w.Close("AR-PACKAGES");
    w.Raw("</AUTOSAR>\n");
    return w.Finish();
}

std::string GenerateArxml(uint64_t targetBytes, uint64_t seed, GeneratedShape shape)
{
    std::ostringstream out;
    WriteGeneratedArxml(out, targetBytes, seed, shape);
    return std::move(out).str();
}

GeneratedDocument WriteGeneratedArxmlFile(const std::string& path, uint64_t targetBytes, uint64_t seed,
                                          GeneratedShape shape)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("Cannot write " + path);
    GeneratedDocument facts = WriteGeneratedArxml(out, targetBytes, seed, shape);
    out.close();
    if (!out)
        throw std::runtime_error("Cannot write " + path);
    return facts;
}

GeneratedDocument WriteGeneratedWorkspace(const std::string& folder, uint64_t targetBytes, int files,
                                          uint64_t seed)
{
    GeneratedDocument total;
    auto add = [&](const GeneratedDocument& part) {
        total.bytes += part.bytes;
        total.elements += part.elements;
        total.references += part.references;
        total.dangling += part.dangling;
    };
    auto write = [&](const std::string& name, uint64_t fileSeed, auto&& body) {
        std::ofstream out(folder + "/" + name, std::ios::binary | std::ios::trunc);
        Writer w(out, fileSeed);
        w.Raw(kArxmlHeader);
        w.Open("AR-PACKAGES");
        body(w);
        w.Close("AR-PACKAGES");
        w.Raw("</AUTOSAR>\n");
        add(w.Finish());
        out.close();
        if (!out)
            throw std::runtime_error("Cannot write " + folder + "/" + name);
    };
    write("common.arxml", seed, [](Writer& w) { CommonPackage(w); });
    const int clusterFiles = std::max(1, files - 1);
    const uint64_t share = targetBytes / uint64_t(clusterFiles);
    int k = 0;
    for (int f = 0; f < clusterFiles; ++f) {
        char name[32];
        std::snprintf(name, sizeof name, "clusters-%03d.arxml", f);
        write(name, seed + uint64_t(f) + 1, [&](Writer& w) {
            // Whole clusters until the share is reached; the last may pass it by one cluster.
            uint64_t start = w.Written();
            while (w.Written() - start < share)
                Cluster(w, k++);
        });
    }
    return total;
}
