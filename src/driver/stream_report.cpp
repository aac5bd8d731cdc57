#include "driver/stream_report.hpp"

#include <cmath>
#include <stdexcept>

#include "driver/json_report.hpp"

namespace monocount {

namespace {

using Json = nlohmann::ordered_json;

void writeLine(std::ofstream& out, const std::string& path, const Json& line) {
  out << line.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n' << std::flush;
  if (!out) throw std::runtime_error(path + ": cannot write the stream of replications");
}

}  // namespace

StreamWriter::StreamWriter(const std::string& path) : path_(path), out_(path, std::ios::out | std::ios::trunc) {
  if (!out_) throw std::runtime_error(path + ": cannot open the stream of replications for writing");
}

void StreamWriter::start(const RunDescription&) {}

void StreamWriter::row(const ReplicationRow& row) { writeLine(out_, path_, replicationJson(row)); }

void StreamWriter::finish(const RunSummary& summary) {
  const PooledValue& count = summary.pooled.count;
  Json line = Json::object();
  line["end"] = runEndName(summary.end);
  line["replications"] = summary.pooled.replications;
  line["estimate"] = count.mean.isNaN() ? Json(nullptr) : Json(exactText(count.mean));
  const std::optional<double> log10 = log10Of(count.mean);
  line["log10"] = log10 ? Json(*log10) : Json(nullptr);
  line["relativeError"] = count.relativeError && std::isfinite(*count.relativeError) ? Json(*count.relativeError) : Json(nullptr);
  writeLine(out_, path_, line);
}

}  // namespace monocount
