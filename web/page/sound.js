// The key click through WebAudio: the desktop's click sound, decoded once the page may play sound (after
// the first key or click of the user's).
// How far ahead of the audio clock the tape's notes are laid, and how loud they sound.
const NOTE_LATENCY = 0.05;
const NOTE_VOLUME = 0.05;

export class Sound {
  constructor(url) {
    this.url = url;
    this.muted = false;
    this.context = null;
    this.click = null;
    this.tone = null;
    this.anchor = null;
  }

  async start() {
    if (this.context) return;
    const AudioContext = globalThis.AudioContext || globalThis.webkitAudioContext;
    if (!AudioContext) return;
    this.context = new AudioContext();
    try {
      const bytes = await (await fetch(this.url)).arrayBuffer();
      this.click = await this.context.decodeAudioData(bytes);
    } catch {
      // No click where the sound cannot be had; the board runs the same.
      this.click = null;
    }
  }

  // The tape's notes, each at the board time it fell on, as a square tone at its pitch (the desktop
  // plays them on a MIDI square lead). Board time is laid on the audio clock from the first note on,
  // and again whenever a note would come too late or too far ahead.
  playNotes(notes) {
    if (!this.context || this.muted || !notes.length) return;
    if (!this.tone) {
      this.tone = this.context.createOscillator();
      this.tone.type = 'square';
      this.level = this.context.createGain();
      this.level.gain.value = 0;
      this.tone.connect(this.level).connect(this.context.destination);
      this.tone.start();
    }
    const now = this.context.currentTime;
    for (const { cycle, note, on } of notes) {
      let at = this.anchor ? this.anchor.time + ((cycle - this.anchor.cycle) >>> 0) / 1e6 : -1;
      if (at < now || at > now + 1) {
        this.anchor = { cycle, time: now + NOTE_LATENCY };
        at = this.anchor.time;
      }
      if (on) this.tone.frequency.setValueAtTime(440 * 2 ** ((note - 69) / 12), at);
      this.level.gain.setValueAtTime(on ? NOTE_VOLUME : 0, at);
    }
  }

  playClick() {
    if (this.muted) return;
    this.start().then(() => {
      if (!this.click || this.muted) return;
      const source = this.context.createBufferSource();
      source.buffer = this.click;
      source.connect(this.context.destination);
      source.start();
    });
  }
}
