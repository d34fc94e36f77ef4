// The plain samples, with the four voices side by side: what renderSample
// and the voice models do for a sample that brings nothing but sound, with
// the same operations in the same order for each voice. Where the voices
// differ (the snare's second tone and noise, the hi-hat's fold and filters,
// the clap's ring modulation, each voice's pitch and feedback) a voice's own
// lane is worked out as its model does, one value at a time.
#include <cmath>

#include "engine/Audible.h"
#include "engine/Engine.h"
#include "engine/FloatMath.h"
#include "engine/VoiceLanes.h"

namespace zvx {
namespace {

using lanes::F4;
constexpr std::memory_order relaxed = std::memory_order_relaxed;

F4 laneMask(int voice) {
  return F4(voice == 0 ? 1.0f : 0.0f, voice == 1 ? 1.0f : 0.0f, voice == 2 ? 1.0f : 0.0f, voice == 3 ? 1.0f : 0.0f) >
         F4(0.0f);
}

}  // namespace

bool Engine::nothingToTakeUp(int n) const {
  if (asleep_ || n >= nextEventFrame_ || padCountdownsRunning_ || endAfterDecay_ != 0) return false;
  if (padRequests_.load(relaxed) != 0) return false;
  if (settings_.generation.load(std::memory_order_acquire) != appliedGeneration_) return false;
  return pcmChanges_.load(std::memory_order_acquire) == pcmChangesSeen_;
}

int Engine::renderPlainSamples(int n, int frames, float* const* outputs) {
  const bool anySounding = !(envelopes_[kBD].idle() && envelopes_[kSD].idle() && envelopes_[kHH].idle() &&
                          envelopes_[kCP].idle());
  if (!anySounding || !nothingToTakeUp(n)) return n;
  VoiceLanes lanes;
  lanes.load(oscillators_.data(), envelopes_.data(), dcBlockers_.data(), pcm_.data());
  lanes.setBuffers(pcmBuffer_);

  // What the voices read per sample and only a setting or an event changes.
  const VoiceControls &bd = voices_[kBD], &sd = voices_[kSD], &hh = voices_[kHH], &cp = voices_[kCP];
  auto on = [](const VoiceControls& c) { return c.on.load(relaxed) ? 1.0f : 0.0f; };
  auto weight = [](const VoiceControls& c) { return c.synthWeight.load(relaxed); };
  auto chaos = [](const VoiceControls& c) { return c.chaos.load(relaxed); };
  auto pan = [](const VoiceControls& c) { return c.pan.load(relaxed); };
  auto layerStep = [&](const VoiceControls& c) { return c.pcmRate.load(relaxed) * globalPcmRate_.load(relaxed); };
  const F4 voiceOn(on(bd), on(sd), on(hh), on(cp));
  const F4 synthWeight(weight(bd), weight(sd), weight(hh), weight(cp));
  const F4 layerWeight((1.0f - weight(bd)) * 2.4f, 1.0f - weight(sd), 1.0f - weight(hh), 1.0f - weight(cp));
  const F4 chaosBelow(1.0f - chaos(bd), 1.0f - chaos(sd), 1.0f - chaos(hh), 1.0f - chaos(cp));
  const bool chaosOn[kNumVoices] = {chaosActive(kBD), chaosActive(kSD), chaosActive(kHH), chaosActive(kCP)};
  const F4 chaosMask = F4(0.0f, 0.0f, 0.0f, 0.0f) < F4(chaosOn[0] ? 1.0f : 0.0f, chaosOn[1] ? 1.0f : 0.0f,
                                                      chaosOn[2] ? 1.0f : 0.0f, chaosOn[3] ? 1.0f : 0.0f);
  const F4 gain(value(param::kBDGain), value(param::kSDGain) * 3.9f, value(param::kHHGain) * 2.3f,
                value(param::kCPGain));
  const F4 step(layerStep(bd), layerStep(sd), layerStep(hh), layerStep(cp));
  const F4 turn = lanes.turningPoints(reverseSize_.load(relaxed));
  const F4 leftShare(1.0f - pan(bd), 1.0f - pan(sd), 1.0f - pan(hh), 1.0f - pan(cp));
  const F4 rightShare(pan(bd), pan(sd), pan(hh), pan(cp));
  const float bdTone = value(param::kBDTone), sdTone = value(param::kSDTone), hhTone = value(param::kHHTone);
  const float cpTone = value(param::kCPTone), cricket = value(param::kCPCricket);
  const bool bdBonus = chaosOn[kBD] && chaos(bd) > 0.5f;
  const float hhChaos = chaos(hh);
  const F4 pitchTone(bdTone, sdTone, 0.0f, 0.0f);
  const F4 pitchDrop(0.0f, 0.0f, hhTone, 0.5f * chaos(cp) * (chaosArmed_[kCP] ? 1.0f : 0.0f));
  const F4 feedbackAmount(bdTone, sdTone, 0.0f, cpTone);
  const F4 cricketDry(1.0f - cricket), cricketWet(cricket);
  const F4 bdLane = laneMask(kBD), sdLane = laneMask(kSD), hhLane = laneMask(kHH), cpLane = laneMask(kCP);
  const F4 bdOrSdLane = bdLane | sdLane;
  const float glideTime = 3.0f + 99.0f * value(param::kFix44);
  const float m = masterChaos_.load(relaxed);
  const float masterGain = masterGain_ * power_.load(relaxed);
  const float snapLevel = snapLevel_;
  const bool reverseArmed = reverseArmed_;
  ToneOscillator& second = oscillators_[kSecondSnareOscillator];

  // The voices sounding stay the same through the run: a voice falling
  // silent ends it, and its lanes' last values are then not stored.
  const F4 active = lanes.active();
  const int sounding = lanes::bits(active);
  for (; n <= frames && nothingToTakeUp(n) && lanes::bits(lanes.active()) == sounding; ++n) {
    noiseSample_ = static_cast<float>(random_.next()) / 32767.0f;
    ringValue_ = ringLfo_.tick(random_);
    chaosValue_ = smoother_.tick(chaosLfo_.tick(random_));
    smoother_.setTime(glideTime);

    const F4 tone = lanes.tickTones();
    const float sdSecond = sounding & (1 << kSD) ? second.tick() : 0.0f;
    const F4 envelope = lanes.tickEnvelopes();

    // Each voice's pitch and feedback for its next sample, as its model sets
    // them; a silent voice keeps its own.
    // BD and SD pitch as (tone x envelope + 1) + 0.5 x (the chaos bonus, the
    // envelope squared); HH and CP as 1 - (tone x envelope, the chaos drop x
    // chaos squared). The feedback is (1 + envelope) x tone x amount for BD,
    // and amount x (second tone, tone, ring-modulated tone) for SD, HH, CP,
    // where a factor 1 and the order of a product change no bit.
    const float chaosSquared = chaosValue_ * chaosValue_;
    const float bonus = bdBonus ? 1.0f + chaosValue_ : 0.0f;
    const float g = chaosOn[kHH] ? 2.0f - chaosValue_ * hhChaos : 4.0f;
    const F4 rising = (pitchTone * envelope + F4(1.0f)) + F4(0.5f) * lanes::select(bdLane, F4(bonus), envelope * envelope);
    const F4 falling = F4(1.0f) - pitchDrop * lanes::select(cpLane, F4(chaosSquared), envelope);
    const F4 pitch = lanes::select(bdOrSdLane, rising, falling);
    const F4 ringed = cricketDry * tone + cricketWet * tone * F4(ringValue_);
    const F4 fed = lanes::select(cpLane, ringed, lanes::select(sdLane, F4(sdSecond), tone));
    const F4 modulation =
        (lanes::select(bdLane, F4(1.0f) + envelope, F4(1.0f)) * fed) * lanes::select(hhLane, F4(g), feedbackAmount);
    lanes.pitchFactor = pitch;
    lanes.phaseModulation = modulation;

    // The snare's second tone and noise, the hi-hat's fold and filters, the clap's ring rate.
    F4 signal = lanes::select(cpLane, ringed, tone);
    if (sounding & (1 << kSD)) {
      second.setPitchFactor(lanes::lane<kSD>(pitch));
      second.setPhaseModulation(lanes::lane<kSD>(modulation));
      const float noise = static_cast<float>(random_.next()) / 32767.0f - 0.3f;
      signal = lanes::select(sdLane, F4(lanes::lane<kSD>(tone) + 0.5f * sdSecond + noise * snapLevel), signal);
    }
    if (sounding & (1 << kHH)) {
      const float hhS = lanes::lane<kHH>(tone);
      float x = math::select(hhS > 0.5f, 1.0f, hhS);
      x = math::select(x < -0.5f, -1.0f, x);
      signal = lanes::select(hhLane, F4(x - hhFilters_[1].lowPass(hhFilters_[0].lowPass(x))), signal);
    }
    if (sounding & (1 << kCP)) ringLfo_.setFrequency((5.0f - cpTone * 4.0f * lanes::lane<kCP>(envelope)) * 16.0f);

    // Each voice's synthesis and layer mixed, the loud part of an armed voice
    // multiplied by the chaos modulation, and the voice's level applied.
    F4 x = voiceOn * (synthWeight * signal + layerWeight * lanes.pcmSamples());
    x = lanes::select(chaosMask & (lanes::abs(x) > chaosBelow), x * F4(chaosValue_), x);
    lanes.advancePcm(step, turn, reverseArmed);
    const F4 level = envelope * lanes::select(sdLane | hhLane, envelope, F4(1.0f));
    const F4 voices = lanes.highPass(active & (gain * x * level));

    // left = 0 + L_BD + L_SD + L_HH + L_CP in that order, right beside it.
    const F4 toLeft = leftShare * voices, toRight = rightShare * voices;
    const F4 low(_mm_unpacklo_ps(toLeft.v, toRight.v)), high(_mm_unpackhi_ps(toLeft.v, toRight.v));
    F4 sum = F4(0.0f) + low;
    sum = sum + F4(_mm_movehl_ps(low.v, low.v));
    sum = sum + high;
    sum = sum + F4(_mm_movehl_ps(high.v, high.v));
    float l = lanes::lane<0>(sum), r = lanes::lane<1>(sum);
    alignas(16) float out[4];
    audible(voices).store(out);
    if (m > 1.0f) {
      l = (2.0f - m) * l + 0.5f * m * l * ringValue_ * chaosValue_;
      r = (2.0f - m) * r + 0.5f * m * r * ringValue_ * chaosValue_;
    }
    l *= masterGain;
    r *= masterGain;

    const int i = n - 1;
    outputs[0][i] = audible(l);
    outputs[1][i] = audible(r);
    for (int v = 0; v < kNumVoices; ++v) outputs[2 + v][i] = out[v];
  }
  voiceActive_ = true;
  lanes.store(oscillators_.data(), envelopes_.data(), dcBlockers_.data(), pcm_.data(), sounding);
  return n;
}

}  // namespace zvx
