#include "driver/json_report.hpp"

#include <cmath>
#include <ostream>

namespace monocount {

namespace {

using Json = nlohmann::ordered_json;

Json number(double value) { return std::isfinite(value) ? Json(value) : Json(nullptr); }

// A count: a number a double holds, else the table's notation; NaN is null.
Json count(const WideReal& value) {
  if (value.isNaN()) return nullptr;
  if (value.fitsDouble()) return value.toDouble();
  return toString(value);
}

Json doubtJson(Doubt doubt) {
  switch (doubt) {
    case Doubt::likelyTooLow: return "likely far too low";
    case Doubt::mayBeTooLow: return "may be too low";
    case Doubt::none: break;
  }
  return nullptr;
}

Json log10Json(const WideReal& value) {
  const std::optional<double> log10 = log10Of(value);
  return log10 ? Json(*log10) : Json(nullptr);
}

// The fields of a pooled value, named after `name` ("estimate", "count", "probability").
void addPooled(Json& object, const char* name, const PooledValue& value);

// The other side of a pooled answer as an object of its own, with the fields of the answer.
Json complementJson(const PooledValue& value) {
  Json object = Json::object();
  addPooled(object, "estimate", value);
  return object;
}

void addPooled(Json& object, const char* name, const PooledValue& value) {
  object[name] = count(value.mean);
  object["log10"] = log10Json(value.mean);
  object["standardError"] = value.standardError ? count(*value.standardError) : Json(nullptr);
  object["relativeError"] = value.relativeError ? number(*value.relativeError) : Json(nullptr);
  if (value.low && value.high) {
    object["confidenceInterval"] = {{"level", 0.95}, {"low", count(*value.low)}, {"high", count(*value.high)}};
  } else {
    object["confidenceInterval"] = nullptr;
  }
}

}  // namespace

void JsonWriter::start(const RunDescription& description) {
  const CommandLine& options = description.options;
  Json probabilities = Json::array();
  for (const ProbabilityOption& p : options.probabilities) probabilities.push_back(p.value);
  document_ = Json::object();
  document_["tool"] = {{"name", "monocount"}, {"version", MONOCOUNT_VERSION}};
  document_["options"] = {{"problem", options.problemPath},
                          {"N", options.sampleSize},
                          {"R", options.replications},
                          {"seed", description.seeded ? Json(options.seed.value) : Json(nullptr)},
                          {"method", methodEntry(options.method.value).name},
                          {"format", formatEntry(options.format.value).name},
                          {"spectrum", options.spectrum},
                          {"probability", probabilities},
                          {"threads", options.threadsGiven ? Json(options.threads.value) : Json(nullptr)},
                          {"timeLimit", options.timeLimit.seconds > 0.0 ? Json(options.timeLimit.seconds) : Json(nullptr)},
                          {"targetRelativeError",
                           options.target.relativeError > 0.0 ? Json(options.target.relativeError) : Json(nullptr)},
                          {"stream", options.stream.empty() ? Json(nullptr) : Json(options.stream)}};
  document_["arguments"] = description.arguments;
  document_["seed"] = {{"value", description.seed}, {"source", description.seeded ? "option" : "clock"}};
  document_["problem"] = {{"path", options.problemPath},
                          {"variables", description.variables},
                          {"clauses", description.clauses},
                          {"literals", description.literals},
                          {"type", countTypeName(description.type)}};
  if (isWeightedType(description.type)) document_["problem"]["log10Factor"] = log10Json(description.factor);
  document_["method"] = {{"name", methodEntry(description.method).name},
                         {"streams", description.method == Method::exact ? "none" : description.blockStreams ? "blocks" : "classic"}};
  document_["replications"] = Json::array();
}

Json replicationJson(const ReplicationRow& row) {
  Json object = Json::object();
  object["replication"] = row.number;
  object["estimate"] = count(row.estimate);
  object["log10"] = log10Json(row.estimate);
  object["relativeError"] = row.hasSpread() ? number(row.relativeError) : Json(nullptr);
  object["cpuSeconds"] = std::isfinite(row.cpuSeconds) ? Json(std::stod(floatText(row.cpuSeconds))) : Json(nullptr);
  object["wallSeconds"] = number(row.wallSeconds);
  object["samples"] = row.samples;
  object["truncated"] = row.truncated;
  return object;
}

void JsonWriter::row(const ReplicationRow& row) { document_["replications"].push_back(replicationJson(row)); }

void JsonWriter::finish(const RunSummary& summary) {
  const PooledRun& pooled = summary.pooled;
  if (summary.split) {
    document_["method"]["particles"] = summary.split->settings.particles;
    document_["method"]["walkSteps"] = summary.split->settings.walkSteps;
    document_["method"]["smallestSize"] = summary.split->smallestSize;
  }
  Json answer = Json::object();
  answer["replications"] = pooled.replications;
  answer["exact"] = pooled.exact;
  addPooled(answer, "estimate", pooled.count);
  answer["complement"] = complementJson(pooled.complement);
  answer["doubt"] = doubtJson(pooled.countDoubt);
  answer["meanReplicationRelativeError"] = number(summary.meanRelativeError);
  document_["pooled"] = std::move(answer);
  if (!pooled.spectrum.empty()) {
    Json sizes = Json::array();
    for (const SizeCount& size : pooled.spectrum) {
      const auto side = [&](bool reached, const PooledValue& value) {
        Json object = {{"reached", reached}};
        object["count"] = reached ? count(value.mean) : Json(nullptr);
        object["log10"] = reached ? log10Json(value.mean) : Json(nullptr);
        object["relativeError"] = reached && value.relativeError ? number(*value.relativeError) : Json(nullptr);
        return object;
      };
      Json object = {{"size", size.size}};
      object.update(side(size.reached, size.count));
      object["failing"] = side(size.failingReached, size.failing);
      sizes.push_back(std::move(object));
    }
    document_["spectrum"] = std::move(sizes);
  }
  if (!pooled.probabilities.empty()) {
    Json probabilities = Json::array();
    for (std::size_t i = 0; i < pooled.probabilities.size(); ++i) {
      const ProbabilityEstimate& estimate = pooled.probabilities[i];
      Json object = {{"p", estimate.law.uniformTruth()}, {"exact", estimate.exact}};
      addPooled(object, "probability", estimate.probability);
      object["complement"] = complementJson(estimate.failure);
      object["doubt"] = doubtJson(pooled.probabilityDoubts[i]);
      probabilities.push_back(std::move(object));
    }
    document_["probabilities"] = std::move(probabilities);
  }
  document_["end"] = {{"reason", runEndName(summary.end)},
                      {"signal", summary.signal != nullptr ? Json(summary.signal) : Json(nullptr)}};
  document_["warnings"] = summary.warnings;
  // Bytes that are no UTF-8 (a path may hold any) become U+FFFD rather than an exception.
  out_ << document_.dump(2, ' ', false, Json::error_handler_t::replace) << std::endl;
}

}  // namespace monocount
