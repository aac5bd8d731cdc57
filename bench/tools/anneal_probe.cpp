// A probe of the other way down for split's roots: instead of walking the sizes one by one, a
// root tempers the chance of the product law, from all-but-certain truth to the target.
//   anneal_probe [--reference LOG10] [--chances-seed SEED] FILE ROOTS SEED P:M:STEPS...
//
// pi_s(S) is proportional to [S touches every clause] x prod_v p_v(s)^[v in S] (1 - p_v(s))^[v not
// in S], with p_v(0) = 1 - 1/(4n) for every variable and p_v(1) the target chance. A root draws P
// particles from the plain product law at s = 0 and weighs each by [S satisfies] (their mean
// estimates P_0(satisfies)); then for each next point s' it multiplies every weight by the
// law's likelihood ratio pi_s'(S) / pi_s(S) (unnormalized: the mean of the new weights over the
// mean of the old is the factor Z_s' / Z_s, Z_s = P_s(satisfies)), resamples (systematic, in
// place) when the effective sample size falls below P/2, and moves every particle by M
// heat-bath steps that keep pi_s': a uniform variable v; outside S it comes in with chance
// p_v(s'), inside and removable it leaves with chance 1 - p_v(s'). The product of the factors is
// an unbiased estimate of P_1(satisfies) for a fixed schedule; the answer is the count 2^n
// P_1(satisfies) at the target 1/2 (the default), or the probability itself with
// --chances-seed.
//
// Settings, one per argument:
//   P      particles per root;
//   M      heat-bath moves per particle per step, a whole number, or "Xn" for X times n;
//   STEPS  N   a fixed schedule of N steps equally spaced in arcsin(sqrt(p)) (one chance), or
//              in the log-odds (per-variable chances);
//          lN  N steps equally spaced in the log-odds;
//          0   adaptive: each next point such that the conditional effective sample size of
//              the reweighted particles is 0.8 P (bisection on the current particles, so
//              chosen from the root's past only; carries a small bias in theory), and at most
//              the one exact draws from the plain product law would have (which the particles
//              cannot see while most of them are alike);
//          aX  adaptive with the share X instead of 0.8.
// --chances-seed SEED: variable i true with chance 0.3 + 0.4 u_i, u_i the top 53 bits of the
// i-th output of std::mt19937_64(SEED) over 2^53; the line is then the log-odds line from
// 1 - 1/(4n) to each variable's own chance. When the formula is a path's vertex covers (clause
// i = {i, i + 1}), its reference comes from the two-state recursion along the path.
// --reference LOG10: the true answer's log10, for the column "dev/SE" (the mean's deviation
// from it in standard errors of the mean) and "log10 ratio".
//
// Per setting it prints, in descent_tuning's columns: the mean of the roots, its RE, the
// relative variance of one root, the CPU seconds per root and their product (the CPU time a
// replication needs for an RE of 1), then the mean number of steps and resamplings per root,
// the spread (sd) of ln(root / mean), and the deviation from the reference.
//
// What it showed (one core, beside descent_tuning in the same run): fixed schedules agree
// with exact counts within 1.5 standard errors on small formulas; adaptive ones fall 1-4 % low
// at 64 particles and 5-12 % at 8. The relative variance of a root is set by the total moves,
// not by how they are split between steps and moves per step: the heat-bath chain lags behind
// the moving law by about n moves, so a root needs about n^2 moves for a relative variance of
// order 1, whatever n, and its work x variance grows as n^2 with a constant 20-300 times the
// size descent's (grids 8 x 8 to 100 x 100, the 10,000-variable path, one chance or one per
// variable).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "estimation/numerics/wide_real.hpp"
#include "estimation/randomness/split_engine.hpp"
#include "estimation/splitting/cover_state.hpp"
#include "problem/dimacs.hpp"
#include "problem/occurrence_table.hpp"
#include "support/cpu_time.hpp"

namespace {

using namespace monocount;

double logistic(double logOdds) { return 1.0 / (1.0 + std::exp(-logOdds)); }

// ln(1 + e^x) without overflow.
double softplus(double x) { return x > 0.0 ? x + std::log1p(std::exp(-x)) : std::log1p(std::exp(x)); }

// The line of laws from s = 0 (every chance 1 - 1/(4n)) to s = 1 (the target chances).
class ChanceLine {
 public:
  // One chance `target` for every variable, on the arcsin(sqrt(p)) line (arcsin) or the
  // log-odds line.
  ChanceLine(std::int32_t n, double target, bool arcsin)
      : n_(n), arcsin_(arcsin), startLogOdds_(std::log(4.0 * n - 1.0)), targetLogOdds_{std::log(target / (1.0 - target))} {
    startAngle_ = std::asin(std::sqrt(1.0 - 1.0 / (4.0 * n)));
    targetAngle_ = std::asin(std::sqrt(target));
  }
  // One chance per variable, on the log-odds line.
  ChanceLine(std::int32_t n, const std::vector<double>& targets) : n_(n), arcsin_(false), startLogOdds_(std::log(4.0 * n - 1.0)) {
    for (const double p : targets) {
      targetLogOdds_.push_back(std::log(p / (1.0 - p)));
      slope_.push_back(targetLogOdds_.back() - startLogOdds_);
    }
  }

  bool uniform() const { return targetLogOdds_.size() == 1; }
  // d log pi_s(S) / ds per member v of S, up to a term common to all S (per-variable line).
  double slope(std::int32_t v) const { return slope_[static_cast<std::size_t>(v)]; }

  // The chance and its complement at s (one chance), without cancellation near 1.
  std::pair<double, double> chance(double s) const {
    if (arcsin_) {
      const double angle = startAngle_ + s * (targetAngle_ - startAngle_);
      const double c = std::cos(angle);
      const double sn = std::sin(angle);
      return {sn * sn, c * c};
    }
    const double logOdds = startLogOdds_ + s * (targetLogOdds_[0] - startLogOdds_);
    return {logistic(logOdds), logistic(-logOdds)};
  }
  // Variable v's chance at s (per-variable line).
  double chance(double s, std::int32_t v) const { return logistic(startLogOdds_ + s * slope(v)); }

  // ln pi_s'(S) / pi_s(S) (unnormalized laws) is bySize |S| + byStatistic T(S) + A(s) - A(s'),
  // T(S) the sum of slope over the members of S (per-variable line) and A the log-normalizer.
  // The A terms are common to all sets and telescope over a root: they enter once, as
  // A(0) - A(1) (logNormalizer).
  struct StepRatio {
    double bySize = 0.0;
    double byStatistic = 0.0;
  };
  StepRatio stepRatio(double s, double next) const {
    if (uniform()) {
      const auto [p, q] = chance(s);
      const auto [pNext, qNext] = chance(next);
      return {std::log(pNext / p) - std::log(qNext / q), 0.0};
    }
    return {0.0, next - s};
  }

  // A(s) = -sum_v ln(1 - p_v(s)), so that ln pi_s(S) = sum over members of the log-odds - A(s).
  double logNormalizer(double s) const {
    if (uniform()) return -n_ * std::log(chance(s).second);
    double sum = 0.0;
    for (const double slope : slope_) sum += softplus(startLogOdds_ + s * slope);
    return sum;
  }

  // The conditional effective sample size over P that the step s -> next would leave to exact
  // draws from the plain product law (no clause): 1 / prod_v (p'^2 / p + q'^2 / q). The
  // particles' own figure cannot see a step they do not resolve (at s = 0 most of them are the
  // whole set, all alike), so the adaptive schedule takes the smaller of the two.
  double freeShare(double s, double next) const {
    const auto term = [](double p, double q, double pNext, double qNext) {
      return std::log(pNext * pNext / p + qNext * qNext / q);
    };
    if (uniform()) {
      const auto [p, q] = chance(s);
      const auto [pNext, qNext] = chance(next);
      return std::exp(-n_ * term(p, q, pNext, qNext));
    }
    double sum = 0.0;
    for (const double slope : slope_) {
      const double at = startLogOdds_ + s * slope;
      const double atNext = startLogOdds_ + next * slope;
      sum += term(logistic(at), logistic(-at), logistic(atNext), logistic(-atNext));
    }
    return std::exp(-sum);
  }

 private:
  std::int32_t n_;
  bool arcsin_;
  double startLogOdds_;
  std::vector<double> targetLogOdds_;
  std::vector<double> slope_;
  double startAngle_ = 0.0;
  double targetAngle_ = 0.0;
};

struct Setting {
  std::int32_t particles = 0;
  double moves = 0.0;      // per particle per step
  std::int32_t steps = 0;  // 0 for adaptive
  bool logOdds = false;    // fixed steps equally spaced in log-odds rather than arcsin
  double share = 0.8;      // adaptive: conditional ESS over P
  std::string text;
};

Setting parseSetting(const std::string& text, std::int32_t n) {
  Setting setting;
  setting.text = text;
  const std::size_t first = text.find(':');
  const std::size_t second = text.find(':', first + 1);
  if (first == std::string::npos || second == std::string::npos) throw std::invalid_argument("setting not P:M:STEPS: " + text);
  setting.particles = std::stoi(text.substr(0, first));
  const std::string moves = text.substr(first + 1, second - first - 1);
  setting.moves = moves.back() == 'n' ? std::stod(moves.substr(0, moves.size() - 1)) * n : std::stod(moves);
  const std::string steps = text.substr(second + 1);
  if (steps[0] == 'a') {
    setting.share = std::stod(steps.substr(1));
  } else if (steps[0] == 'l') {
    setting.logOdds = true;
    setting.steps = std::stoi(steps.substr(1));
  } else {
    setting.steps = std::stoi(steps);
  }
  if (setting.particles < 1 || setting.moves < 0.0 || setting.steps < 0 || !(setting.share > 0.0 && setting.share < 1.0)) {
    throw std::invalid_argument("setting out of range: " + text);
  }
  return setting;
}

struct Particle {
  CoverState state;
  double statistic = 0.0;  // sum of the line's slope over the members (per-variable line)
};

struct RootResult {
  double logEstimate = 0.0;  // natural log of P_1(satisfies); -inf for a root whose particles all died
  std::int32_t steps = 0;
  std::int32_t resamplings = 0;
};

// One root of the tempered sampler.
class Root {
 public:
  Root(const OccurrenceTable& table, const ChanceLine& line, const Setting& setting)
      : line_(line), setting_(setting), n_(table.variableCount) {
    particles_.assign(static_cast<std::size_t>(setting.particles), Particle{CoverState(table), 0.0});
    weights_.resize(particles_.size());
    logRatios_.resize(particles_.size());
    offspring_.resize(particles_.size());
  }

  RootResult run(SplitEngine& engine) {
    RootResult result;
    const double startQ = 1.0 / (4.0 * n_);
    // s = 0: exact draws from the product law; a set that misses a clause weighs 0 (removing
    // the drawn variables one by one fails at some point exactly when the final set misses one).
    double alive = 0.0;
    for (std::size_t i = 0; i < particles_.size(); ++i) {
      Particle& particle = particles_[i];
      particle.state.fill();
      bool satisfies = true;
      for (std::int32_t v = 0; v < n_; ++v) {
        if (engine.unit() >= startQ) continue;
        if (!particle.state.removable(v)) {
          satisfies = false;
          break;
        }
        particle.state.remove(v);
      }
      weights_[i] = satisfies ? 1.0 : 0.0;
      alive += weights_[i];
      particle.statistic = 0.0;
      if (!line_.uniform() && satisfies) {
        for (std::int32_t v = 0; v < n_; ++v) {
          if (particle.state.contains(v)) particle.statistic += line_.slope(v);
        }
      }
    }
    if (alive == 0.0) {
      result.logEstimate = -INFINITY;
      return result;
    }
    double logEstimate = std::log(alive / static_cast<double>(particles_.size()));
    normalize();
    if (resampleIfDegenerate(engine)) ++result.resamplings;
    double s = 0.0;
    while (s < 1.0) {
      const double next = nextPoint(s, result.steps);
      logEstimate += reweigh(s, next);
      normalize();
      if (resampleIfDegenerate(engine)) ++result.resamplings;
      move(next, engine);
      s = next;
      ++result.steps;
    }
    result.logEstimate = logEstimate + line_.logNormalizer(0.0) - line_.logNormalizer(1.0);
    return result;
  }

 private:
  // The next point of the schedule after s (the step-th).
  double nextPoint(double s, std::int32_t step) {
    if (setting_.steps > 0) return step + 1 == setting_.steps ? 1.0 : static_cast<double>(step + 1) / setting_.steps;
    const auto share = [&](double next) { return std::min(conditionalShare(s, next), line_.freeShare(s, next)); };
    if (share(1.0) >= setting_.share) return 1.0;
    double low = s;
    double high = 1.0;
    for (int i = 0; i < 50; ++i) {
      const double middle = 0.5 * (low + high);
      (share(middle) >= setting_.share ? low : high) = middle;
    }
    return std::max(low, s + 1e-12);
  }

  // Fills logRatios_ for the step s -> next (without their common constant) and returns their
  // maximum.
  double fillLogRatios(double s, double next) {
    const ChanceLine::StepRatio ratio = line_.stepRatio(s, next);
    double largest = -INFINITY;
    for (std::size_t i = 0; i < particles_.size(); ++i) {
      if (weights_[i] == 0.0) {
        logRatios_[i] = -INFINITY;
        continue;
      }
      logRatios_[i] = ratio.bySize * particles_[i].state.size() + ratio.byStatistic * particles_[i].statistic;
      largest = std::max(largest, logRatios_[i]);
    }
    return largest;
  }

  // (sum W r)^2 / (sum W r^2) for the ratios r of the step s -> next and the normalized
  // weights W: the conditional effective sample size over P.
  double conditionalShare(double s, double next) {
    const double largest = fillLogRatios(s, next);
    double first = 0.0;
    double second = 0.0;
    for (std::size_t i = 0; i < particles_.size(); ++i) {
      const double r = std::exp(logRatios_[i] - largest);
      first += weights_[i] * r;
      second += weights_[i] * r * r;
    }
    return first * first / (second * static_cast<double>(particles_.size()));
  }

  // Multiplies the weights by the ratios of s -> next; returns the log of the step's factor
  // but for its A terms (weights have mean 1 on entry).
  double reweigh(double s, double next) {
    const double largest = fillLogRatios(s, next);
    double sum = 0.0;
    for (std::size_t i = 0; i < particles_.size(); ++i) {
      weights_[i] *= std::exp(logRatios_[i] - largest);
      sum += weights_[i];
    }
    return largest + std::log(sum / static_cast<double>(particles_.size()));
  }

  // Scales the weights to mean 1.
  void normalize() {
    double sum = 0.0;
    for (const double w : weights_) sum += w;
    const double scale = static_cast<double>(weights_.size()) / sum;
    for (double& w : weights_) w *= scale;
  }

  // Systematic resampling, in place (a particle with offspring keeps its slot, its extra
  // copies go to slots without), when the effective sample size is below P/2.
  bool resampleIfDegenerate(SplitEngine& engine) {
    const auto count = static_cast<double>(particles_.size());
    double squares = 0.0;
    for (const double w : weights_) squares += w * w;
    if (count * count / squares >= 0.5 * count) return false;
    double cumulative = 0.0;
    double mark = engine.unit();
    for (std::size_t i = 0; i < particles_.size(); ++i) {
      cumulative = i + 1 == particles_.size() ? count : cumulative + weights_[i];
      std::int32_t copies = 0;
      while (mark < cumulative && mark < count) {
        ++copies;
        mark += 1.0;
      }
      offspring_[i] = copies;
    }
    std::size_t empty = 0;
    for (std::size_t i = 0; i < particles_.size(); ++i) {
      for (std::int32_t c = 1; c < offspring_[i]; ++c) {
        while (offspring_[empty] != 0) ++empty;
        particles_[empty] = particles_[i];
        offspring_[empty] = -1;  // filled
      }
    }
    std::fill(weights_.begin(), weights_.end(), 1.0);
    return true;
  }

  // M heat-bath moves per particle under pi_next.
  void move(double next, SplitEngine& engine) {
    const auto moves = static_cast<std::int64_t>(std::llround(setting_.moves));
    const auto n = static_cast<std::uint32_t>(n_);
    if (line_.uniform()) {
      const auto [p, q] = line_.chance(next);
      for (Particle& particle : particles_) {
        CoverState& state = particle.state;
        for (std::int64_t m = 0; m < moves; ++m) {
          const auto v = static_cast<std::int32_t>(engine.below(n));
          if (!state.contains(v)) {
            if (engine.unit() < p) state.add(v);
          } else if (state.removable(v) && engine.unit() < q) {
            state.remove(v);
          }
        }
      }
      return;
    }
    for (Particle& particle : particles_) {
      CoverState& state = particle.state;
      for (std::int64_t m = 0; m < moves; ++m) {
        const auto v = static_cast<std::int32_t>(engine.below(n));
        if (!state.contains(v)) {
          if (engine.unit() < line_.chance(next, v)) {
            state.add(v);
            particle.statistic += line_.slope(v);
          }
        } else if (state.removable(v) && engine.unit() >= line_.chance(next, v)) {
          state.remove(v);
          particle.statistic -= line_.slope(v);
        }
      }
    }
  }

  const ChanceLine& line_;
  const Setting& setting_;
  std::int32_t n_;
  std::vector<Particle> particles_;
  std::vector<double> weights_;
  std::vector<double> logRatios_;
  std::vector<std::int32_t> offspring_;
};

// True when the formula is a path's vertex covers: clause i is {i, i + 1}.
bool isPath(const Problem& problem) {
  if (problem.clauseCount != problem.variableCount - 1) return false;
  for (std::int32_t c = 0; c < problem.clauseCount; ++c) {
    const auto clause = problem.clause(c);
    if (clause.size() != 2 || clause[0] != c || clause[1] != c + 1) return false;
  }
  return true;
}

// log10 P(every edge of the path has a true end): the two-state recursion (A: vertex i true,
// B: false, every edge so far covered), A' = (A + B) t, B' = A f.
double pathLog10(const std::vector<double>& truth) {
  WideReal a = truth[0];
  WideReal b = 1.0 - truth[0];
  for (std::size_t i = 1; i < truth.size(); ++i) {
    const WideReal nextA = (a + b) * truth[i];
    b = a * (1.0 - truth[i]);
    a = nextA;
  }
  return static_cast<double>((a + b).log10Abs());
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  std::optional<double> reference;
  std::optional<std::uint64_t> chancesSeed;
  while (words.size() >= 2 && words[0].rfind("--", 0) == 0) {
    if (words[0] == "--reference") {
      reference = std::stod(words[1]);
    } else if (words[0] == "--chances-seed") {
      chancesSeed = std::stoull(words[1]);
    } else {
      break;
    }
    words.erase(words.begin(), words.begin() + 2);
  }
  if (words.size() < 4 || words[0].rfind("--", 0) == 0) {
    std::cerr << "usage: anneal_probe [--reference LOG10] [--chances-seed SEED] FILE ROOTS SEED P:M:STEPS...\n";
    return 2;
  }
  try {
    const Problem problem = readDimacs(words[0]);
    if (!problem.everyClauseTouchable()) throw std::invalid_argument("the formula has an empty clause");
    const OccurrenceTable table(problem);
    const std::int32_t n = problem.variableCount;
    const auto roots = static_cast<std::int32_t>(std::stoi(words[1]));
    const auto seed = static_cast<std::uint64_t>(std::stoull(words[2]));
    std::vector<double> chances;
    if (chancesSeed) {
      std::mt19937_64 engine(*chancesSeed);
      for (std::int32_t i = 0; i < n; ++i) chances.push_back(0.3 + 0.4 * static_cast<double>(engine() >> 11) * 0x1.0p-53);
      if (!reference && isPath(problem)) reference = pathLog10(chances);
    }
    std::printf("%s, %d variables, %d roots, seed %llu, answer: %s", words[0].c_str(), n, roots,
                static_cast<unsigned long long>(seed), chancesSeed ? "P(holds), per-variable chances" : "count");
    if (reference) std::printf(", reference log10 %.6f", *reference);
    std::printf("\n  %9s %7s %6s %14s %12s %8s %12s %12s %8s %7s %6s %7s %7s\n", "particles", "moves", "steps", "mean",
                "log10", "RE", "root relvar", "CPU s/root", "product", "steps", "resamp", "ln sd", "dev/SE");
    for (std::size_t w = 3; w < words.size(); ++w) {
      const Setting setting = parseSetting(words[w], n);
      const ChanceLine line = chancesSeed ? ChanceLine(n, chances) : ChanceLine(n, 0.5, !setting.logOdds);
      Root root(table, line, setting);
      std::vector<RootResult> results;
      const double start = monocount::bench::cpuSeconds();
      for (std::int32_t r = 0; r < roots; ++r) {
        SplitEngine engine(seed * 0x9E3779B97F4A7C15ull + static_cast<std::uint64_t>(r) + 1);
        results.push_back(root.run(engine));
      }
      const double perRoot = (monocount::bench::cpuSeconds() - start) / roots;
      // Moments of the roots relative to the largest, so that 1e-1235 stays in range.
      double largest = -INFINITY;
      for (const RootResult& result : results) largest = std::max(largest, result.logEstimate);
      double mean = 0.0;
      double steps = 0.0;
      double resamplings = 0.0;
      for (const RootResult& result : results) {
        mean += std::exp(result.logEstimate - largest) / roots;
        steps += static_cast<double>(result.steps) / roots;
        resamplings += static_cast<double>(result.resamplings) / roots;
      }
      double squares = 0.0;
      double logSquares = 0.0;
      for (const RootResult& result : results) {
        const double x = std::exp(result.logEstimate - largest);
        squares += (x - mean) * (x - mean);
        const double l = result.logEstimate - largest - std::log(mean);
        logSquares += l * l;
      }
      const double relativeVariance = roots > 1 ? squares / (roots - 1) / (mean * mean) : NAN;
      const double relativeError = std::sqrt(relativeVariance / roots);
      const double logSpread = roots > 1 ? std::sqrt(logSquares / (roots - 1)) : NAN;
      double log10Mean = (largest + std::log(mean)) / std::log(10.0);
      if (!chancesSeed) log10Mean += n * std::log10(2.0);
      const long double log2Mean = static_cast<long double>(log10Mean) * std::log2(10.0L);
      const long double whole = std::floor(log2Mean);
      const WideReal estimate = WideReal::scaled(std::exp2(log2Mean - whole), static_cast<std::int64_t>(whole));
      double deviation = NAN;
      if (reference) deviation = (std::pow(10.0, log10Mean - *reference) - 1.0) / relativeError;
      std::printf("  %9d %7.0f %6s %14s %12.5f %8.4f %12.3f %12.5f %8.4f %7.1f %6.1f %7.3f %7.2f\n", setting.particles,
                  setting.moves, words[w].substr(words[w].rfind(':') + 1).c_str(), toString(estimate).c_str(), log10Mean,
                  relativeError, relativeVariance, perRoot, relativeVariance * perRoot, steps, resamplings, logSpread,
                  deviation);
      std::fflush(stdout);
    }
  } catch (const std::exception& error) {
    std::cerr << "anneal_probe: " << error.what() << "\n";
    return 2;
  }
  return 0;
}
