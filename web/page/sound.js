// The key click through WebAudio: the desktop's click sound, decoded once the page may play sound (after
// the first key or click of the user's).
export class Sound {
  constructor(url) {
    this.url = url;
    this.muted = false;
    this.context = null;
    this.click = null;
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
