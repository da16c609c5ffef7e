// The page around the game, bundled in front of the compiled program: the
// 60 Hz clock the frame loop waits on, the canvas it paints, the keyboard and
// the touch pad it reads, the button tape it may replay, the pause, the best
// scores it keeps in local storage (shared with the page's other tabs) and
// the status line beneath the canvas, and what the page tells scripts about
// the frames it showed.
//
// Sound: the game's own samples, played once the page was touched; M or the
// mute button mutes (kept in local storage), the pause silences.
//
// Pause: P or the Pause key pause and resume; hiding the page or leaving its
// window pauses; a click or touch on the screen or the pad also resumes, and
// that press is never seen by the game. While paused the game waits for its
// next refresh, which does not come: nothing is drawn and no button is read.
//
// Query options: ?tape=URL replays a button tape instead of the player's
// buttons; ?fast=1 runs the frames as fast as the browser allows instead of
// at 60 Hz; ?frames=N stops after N frames; ?hashes=1 keeps every frame's
// hash without a tape. None of them changes what a frame shows.

var BURROW_REFRESH_MS = 1000 / 60;

// A fixed 60 Hz clock over the monitor's animation frames, whatever their
// rate. A tick is due every 1/60 s; an animation frame that comes well before
// the tick is due (every other one at 120 Hz) is passed over, and one that
// comes at or after it starts the next refresh. The due time advances by a
// whole period each tick, so a 144 Hz monitor still averages 60; when the
// page falls more than a period behind (a slow machine, a hidden tab) it
// starts counting again from now instead of hurrying to catch up.
Module.burrowNewPacer = function (period) {
  return { period: period, due: null };
};

// Whether the animation frame at `now` (milliseconds) starts a refresh.
Module.burrowPacerAccepts = function (pacer, now) {
  if (pacer.due === null) {
    pacer.due = now + pacer.period;
    return true;
  }
  if (now < pacer.due - pacer.period / 4) return false;
  pacer.due += pacer.period;
  if (now - pacer.due > pacer.period) pacer.due = now + pacer.period;
  return true;
};

if (typeof document !== 'undefined') (function () {
  var BUTTON_UP = 1 << 0, BUTTON_LEFT = 1 << 2, BUTTON_DOWN = 1 << 4, BUTTON_RIGHT = 1 << 6, BUTTON_ACTION = 1 << 12;
  var KEYS = {
    ArrowUp: BUTTON_UP, ArrowLeft: BUTTON_LEFT, ArrowDown: BUTTON_DOWN, ArrowRight: BUTTON_RIGHT,
    Space: BUTTON_ACTION, Enter: BUTTON_ACTION, NumpadEnter: BUTTON_ACTION, ControlLeft: BUTTON_ACTION
  };
  var MAX_TAPE_BYTES = 16 << 20;
  var SCORES_KEY = 'burrowrotor.best-scores';  // the text of ports/common/best_scores.h

  var params = new URLSearchParams(location.search);
  var options = {
    tape: params.get('tape'),
    fast: params.get('fast') === '1',
    frames: Math.max(0, parseInt(params.get('frames') || '0', 10) || 0),
    hashes: params.get('hashes') === '1'
  };

  var canvas = document.getElementById('screen');
  var status = document.getElementById('status');
  var scoresLine = document.getElementById('scores');
  var context = canvas.getContext('2d', { alpha: false });
  var image = null;
  var pacer = Module.burrowNewPacer(BURROW_REFRESH_MS);
  var tapeBytes = null;
  var keysHeld = {};      // event.code -> bit
  var pointersHeld = {};  // pointerId -> bit
  var shown = 0;
  var paused = false;
  var resumeWaiters = [];  // the frame loop's wait, held while paused
  var scoresBytes = null;

  window.burrowrotorFrames = 0;
  window.burrowrotorLastHash = null;
  window.burrowrotorHashes = options.tape || options.hashes ? [] : null;
  window.burrowrotorError = null;
  window.burrowrotorReady = false;
  // A pause begun while the page loaded says so as soon as it can.
  Module.onRuntimeInitialized = function () {
    window.burrowrotorReady = true;
    showStatusLine();
  };
  window.burrowrotorState = function () {
    if (!window.burrowrotorReady) return { screen: 'loading', frames: shown };
    var screen = ['none', 'title', 'game'][Module._web_screen()];
    return {
      screen: screen, row: Module._web_title_row(), mode: Module._web_title_mode(),
      speed: Module._web_title_speed(), score: Module._web_score(), frames: shown,
      paused: paused, status: scoresLine.textContent
    };
  };

  // ----- the clock -----
  var channel = new MessageChannel();
  var pendingYield = null;
  channel.port1.onmessage = function () { var resolve = pendingYield; pendingYield = null; resolve(); };

  // A wait that comes to an end while paused is held until play resumes.
  Module.burrowWaitRefresh = function () {
    if (options.frames && shown >= options.frames) return new Promise(function () {});
    return new Promise(function (resolve) {
      function wait() {
        if (paused) resumeWaiters.push(wait);
        else if (options.fast) { pendingYield = done; channel.port2.postMessage(0); }
        else requestAnimationFrame(tick);
      }
      function done() {
        if (paused) resumeWaiters.push(wait);
        else resolve();
      }
      function tick(now) {
        if (paused || Module.burrowPacerAccepts(pacer, now)) done();
        else requestAnimationFrame(tick);
      }
      wait();
    });
  };

  // ----- the display -----
  function hex8(v) { return ('0000000' + (v >>> 0).toString(16)).slice(-8); }

  Module.burrowPresent = function (rgba, hashHi, hashLo) {
    if (image === null || image.data.buffer !== HEAPU8.buffer) {
      image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, rgba, 320 * 240 * 4), 320, 240);
    }
    context.putImageData(image, 0, 0);
    var hash = hex8(hashHi) + hex8(hashLo);
    shown += 1;
    window.burrowrotorFrames = shown;
    window.burrowrotorLastHash = hash;
    if (window.burrowrotorHashes) window.burrowrotorHashes.push(hash);
    showStatusLine();
    hallOffer();
  };

  // ----- the status line and the pause -----
  function showStatusLine() {
    if (!window.burrowrotorReady) return;
    var text = soundNote() || UTF8ToString(Module._web_status_line(paused ? 1 : 0));
    var highlight = paused || soundNote() || Module._web_new_best() !== 0 ? 'highlight' : '';
    if (scoresLine.textContent !== text) scoresLine.textContent = text;
    if (scoresLine.className !== highlight) scoresLine.className = highlight;
  }

  // Resuming starts the 60 Hz clock afresh: the refreshes missed while
  // paused are not rushed through.
  function setPaused(on) {
    if (on === paused) return;
    paused = on;
    setSoundLevel();
    if (!on) {
      pacer = Module.burrowNewPacer(BURROW_REFRESH_MS);
      var waiting = resumeWaiters;
      resumeWaiters = [];
      for (var i = 0; i < waiting.length; ++i) waiting[i]();
    }
    showStatusLine();
  }

  // Whole steps of the device's pixels, as large as the room beside or below
  // the lines and the touch pad allows. Where whole steps would leave more
  // than a third of both the window's width and its height unused (a phone
  // lying on its side), the picture fills the largest 4:3 area of the room
  // instead, its pixels still drawn square (image-rendering: pixelated).
  function fit() {
    var ratio = window.devicePixelRatio || 1;
    var below = document.getElementById('below');
    var beside = getComputedStyle(document.body).flexDirection === 'row';
    var roomWidth = window.innerWidth - (beside ? below.offsetWidth + 16 : 0);
    var roomHeight = window.innerHeight - (beside ? 0 : below.offsetHeight + 16);
    var steps = Math.max(1, Math.floor(Math.min(roomWidth * ratio / 320, roomHeight * ratio / 240)));
    var width = 320 * steps / ratio;
    if (width < window.innerWidth * 2 / 3 && width * 3 / 4 < window.innerHeight * 2 / 3) {
      width = Math.max(320, Math.floor(Math.min(roomWidth, roomHeight * 4 / 3) * ratio / 4) * 4 / ratio);
    }
    canvas.style.width = width + 'px';
    canvas.style.height = width * 3 / 4 + 'px';
  }
  window.addEventListener('resize', fit);
  if (window.ResizeObserver) new ResizeObserver(fit).observe(document.getElementById('below'));
  fit();

  // ----- the buttons -----
  function heldWord(table) {
    var word = 0;
    for (var k in table) word |= table[k];
    return word;
  }
  Module.burrowButtons = function () { return heldWord(keysHeld) | heldWord(pointersHeld); };

  window.addEventListener('keydown', function (e) {
    if (e.target instanceof HTMLInputElement) return;  // a name typed for the hall of fame
    if ((e.code === 'KeyP' || e.code === 'Pause') && !e.altKey && !e.ctrlKey && !e.metaKey) {
      e.preventDefault();
      if (!e.repeat) setPaused(!paused);
      return;
    }
    var bit = KEYS[e.code];
    if (bit === undefined || e.altKey || e.metaKey) return;
    e.preventDefault();
    keysHeld[e.code] = bit;
  });
  window.addEventListener('keyup', function (e) {
    if (KEYS[e.code] === undefined || e.target instanceof HTMLInputElement) return;
    e.preventDefault();
    delete keysHeld[e.code];
  });
  // Keys let go while the page had no focus never send their keyup.
  function releaseAll() { keysHeld = {}; pointersHeld = {}; }
  window.addEventListener('blur', function () { releaseAll(); setPaused(true); });
  document.addEventListener('visibilitychange', function () {
    if (!document.hidden) return;
    releaseAll();
    setPaused(true);
  });

  // The pad under the screen, and a line that speaks of touch, not keys.
  function useTouchLayout() {
    document.body.classList.add('touch');
    if (status.className === '' && options.tape === null) status.textContent = TOUCH_LINE;
    fit();
  }
  var TOUCH_LINE = 'Hold the screen to climb \u00b7 \u25c0 \u25b2 \u25bc \u25b6 choose, GO starts';
  if (window.matchMedia && window.matchMedia('(pointer: coarse)').matches) useTouchLayout();

  function holdWhilePressed(element, bit) {
    element.addEventListener('pointerdown', function (e) {
      if (e.pointerType === 'mouse' && e.button !== 0) return;
      e.preventDefault();
      if (paused) {  // the press that resumes is not the game's
        setPaused(false);
        return;
      }
      if (e.pointerType !== 'mouse' && !document.body.classList.contains('touch')) useTouchLayout();
      pointersHeld[e.pointerId] = bit;
      element.setPointerCapture(e.pointerId);
    });
    function release(e) { delete pointersHeld[e.pointerId]; }
    element.addEventListener('pointerup', release);
    element.addEventListener('pointercancel', release);
    element.addEventListener('lostpointercapture', release);
    element.addEventListener('contextmenu', function (e) { e.preventDefault(); });
  }
  holdWhilePressed(canvas, BUTTON_ACTION);
  var pad = document.querySelectorAll('#pad button');
  for (var i = 0; i < pad.length; ++i) {
    holdWhilePressed(pad[i], { up: BUTTON_UP, left: BUTTON_LEFT, down: BUTTON_DOWN, right: BUTTON_RIGHT,
                               action: BUTTON_ACTION }[pad[i].dataset.button]);
  }
  canvas.focus();

  // ----- the best scores -----
  // Local storage may be missing or refuse (private windows, full quota):
  // the player is told once, and plays on without kept scores.
  var scoresTold = false;
  function tellScores(message) {
    if (scoresTold) return;
    scoresTold = true;
    if (window.console) console.warn(message);
    if (status.className !== '') return;
    status.textContent = message;
    status.className = 'error';
  }
  function storage() {
    try { return window.localStorage; } catch (e) { return null; }
  }
  Module.burrowScoresLength = function () {
    var text = null;
    try { text = storage().getItem(SCORES_KEY); } catch (e) {
      tellScores('Best scores are not kept: this browser does not allow local storage');
    }
    if (text === null) return -1;
    scoresBytes = new TextEncoder().encode(text);
    return scoresBytes.length;
  };
  Module.burrowScoresCopy = function (text) { HEAPU8.set(scoresBytes, text); };
  Module.burrowScoresKeep = function (text) {
    try { storage().setItem(SCORES_KEY, text); } catch (e) {
      tellScores('Best scores cannot be kept: ' + e.message);
    }
  };
  // Another tab kept a best: this tab's table takes it in and shows it.
  window.addEventListener('storage', function (e) {
    if (!window.burrowrotorReady || (e.key !== SCORES_KEY && e.key !== null)) return;
    Module._web_scores_changed();
    showStatusLine();
  });
  // The stored text is kept under the first free name of
  // burrowrotor.best-scores.damaged, ...-2, ...; never over another.
  Module.burrowScoresDamaged = function (why) {
    try {
      var s = storage(), key = SCORES_KEY + '.damaged';
      for (var n = 2; s.getItem(key) !== null; ++n) key = SCORES_KEY + '.damaged-' + n;
      s.setItem(key, s.getItem(SCORES_KEY));
      s.removeItem(SCORES_KEY);
      tellScores('Best scores: ' + why + '; kept them as ' + key + ' and started a new table');
    } catch (e) {
      tellScores('Best scores: ' + why + '; they cannot be set aside (' + e.message + '), so none are kept');
      Module.burrowScoresKeep = function () {};
    }
  };

  // ----- the sound -----
  // After each shown frame the program hands over its 800 samples (48 kHz);
  // each frame's buffer is scheduled right after the one before, a little
  // ahead of the audio clock, so they play without gaps. Browsers let a page
  // sound only after the player touched it: the first key, click or touch
  // starts the audio context.
  var MUTE_KEY = 'burrowrotor.mute';
  var SOUND_RATE = 48000;
  var SOUND_LEAD = 0.03;  // seconds ahead a frame is scheduled after a gap
  var NOTE_MS = 2000;     // MUTED or SOUND ON stays this long in the line
  var sound = { context: null, gain: null, next: 0, muted: false, note: '', noteUntil: 0 };
  window.burrowrotorSound = sound;
  try { sound.muted = storage().getItem(MUTE_KEY) === '1'; } catch (e) {}
  var muteButton = document.getElementById('mute');

  function startSound() {
    if (sound.context !== null) {
      if (sound.context.state === 'suspended') sound.context.resume();
      return;
    }
    var Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return;
    sound.context = new Context({ sampleRate: SOUND_RATE });
    sound.gain = sound.context.createGain();
    sound.gain.gain.value = sound.muted || paused ? 0 : 1;
    sound.gain.connect(sound.context.destination);
  }
  // Fades to the level for the moment within a few milliseconds: no click.
  function setSoundLevel() {
    if (sound.gain !== null)
      sound.gain.gain.setTargetAtTime(sound.muted || paused ? 0 : 1, sound.context.currentTime, 0.005);
  }
  function soundNote() { return Date.now() < sound.noteUntil ? sound.note : ''; }
  function showMuted() {
    if (muteButton) muteButton.textContent = sound.muted ? 'sound off' : 'sound on';
  }
  function toggleMute() {
    startSound();
    sound.muted = !sound.muted;
    try { storage().setItem(MUTE_KEY, sound.muted ? '1' : '0'); } catch (e) {}
    setSoundLevel();
    showMuted();
    sound.note = sound.muted ? 'MUTED' : 'SOUND ON';
    sound.noteUntil = Date.now() + NOTE_MS;
    showStatusLine();
    setTimeout(showStatusLine, NOTE_MS + 50);  // also while paused, when no frame comes
  }

  // With frame hashes kept (a tape, ?hashes=1), the samples are summed up
  // too, as FNV-1a over their bytes, for tests to hold them to the runner's.
  window.burrowrotorSoundHash = 0x811c9dc5;
  function sumSound(samples, count) {
    var h = window.burrowrotorSoundHash;
    for (var i = samples; i < samples + 2 * count; ++i) h = Math.imul(h ^ HEAPU8[i], 16777619) >>> 0;
    window.burrowrotorSoundHash = h;
  }

  Module.burrowSound = function (samples, count) {
    if (window.burrowrotorHashes) sumSound(samples, count);
    var c = sound.context;
    if (c === null || c.state !== 'running' || paused) return;
    var buffer = c.createBuffer(1, count, SOUND_RATE);
    var data = buffer.getChannelData(0);
    for (var i = 0, at = samples >> 1; i < count; ++i) data[i] = HEAP16[at + i] / 32768;
    // Too late, or too far ahead (the page's clock and the audio clock
    // drift apart): start again a little ahead of now.
    var now = c.currentTime;
    if (sound.next < now || sound.next > now + 0.1) sound.next = now + SOUND_LEAD;
    var source = c.createBufferSource();
    source.buffer = buffer;
    source.connect(sound.gain);
    source.start(sound.next);
    sound.next += count / SOUND_RATE;
  };

  window.addEventListener('keydown', function (e) {
    startSound();
    // An M typed into the hall of fame's name field is a letter, not the mute key.
    if (e.code === 'KeyM' && !e.repeat && !e.altKey && !e.ctrlKey && !e.metaKey &&
        !(e.target instanceof HTMLInputElement)) toggleMute();
  }, true);
  window.addEventListener('pointerdown', startSound, true);
  if (muteButton) {
    muteButton.addEventListener('click', function () {
      toggleMute();
      canvas.focus();  // Space must stay the game's, not press the button again
    });
    showMuted();
  }

  // ----- the hall of fame -----
  // After a game that beat the kept best, a button offers to send it to the
  // hall of fame of the server that served the page: the claim (name, mode,
  // speed, score) with the session's button tape since the page loaded, which
  // the program keeps. The server replays the tape and accepts only the score
  // it reproduces; the page shows its verdict and the rank. A send that fails
  // leaves the button, and the tape, for another try.
  var NAME_KEY = 'burrowrotor.hall-name';
  var VERDICT_POLLS = 30;  // one a second
  var hall = document.createElement('form');
  hall.id = 'hall';
  hall.hidden = true;
  hall.innerHTML = '<button type="button">Submit to the hall of fame</button><span hidden> ' +
    '<input required pattern=" *[A-Za-z0-9._\\-][A-Za-z0-9 ._\\-]{1,14}[A-Za-z0-9._\\-] *" maxlength="24" ' +
    'placeholder="Your name" aria-label="Your name" title="3 to 16 letters, digits, spaces, - _ ."> ' +
    '<button>Send</button></span> <span></span>';
  document.getElementById('below').appendChild(hall);
  var hallButton = hall.children[0], hallAsk = hall.children[1], hallName = hallAsk.children[0];
  var hallSays = hall.children[2], hallBests = 0, hallClaim = null;

  // Called for every frame shown: a new best brings the button.
  function hallOffer() {
    if (!window.burrowrotorReady || Module._web_new_best_game(0) === hallBests) return;
    hallBests = Module._web_new_best_game(0);
    hallClaim = { mode: Module._web_new_best_game(1), speed: Module._web_new_best_game(2),
                  score: Module._web_new_best_game(3), tape: UTF8ToString(Module._web_session_tape()) };
    hall.hidden = hallButton.hidden = false;
    hallAsk.hidden = true;
    hallSays.textContent = '';
  }
  hallButton.addEventListener('click', function () {
    hallButton.hidden = true;
    hallAsk.hidden = false;
    try { hallName.value = storage().getItem(NAME_KEY) || ''; } catch (e) {}
    hallName.focus();
  });
  function hallFetch(path, body) {
    return fetch(location.origin + path, body && {
      method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body)
    }).then(function (r) {
      return r.json().catch(function () { return {}; }).then(function (json) { return { status: r.status, json: json }; });
    });
  }
  // The run is the server's now: a question that fails only costs one of the tries.
  function hallVerdict(claim, id, left) {
    return hallFetch('/api/runs/' + id).catch(function () { return { json: {} }; }).then(function (r) {
      if (r.json.state === 'rejected') return 'Rejected: ' + r.json.reason;
      if (r.json.state === 'accepted') {
        return hallFetch('/api/boards/' + claim.mode + '/' + claim.speed + '?limit=100').then(function (b) {
          var mine = (b.json.entries || []).filter(function (e) { return String(e.run) === String(id); })[0];
          return 'Accepted: ' + claim.score + (mine ? ' is number ' + mine.rank + ' of its board' : ', not in the first 100');
        });
      }
      if (left <= 1) return 'Sent; no verdict yet (run ' + id + ')';
      return new Promise(function (resolve) { setTimeout(resolve, 1000); })
        .then(function () { return hallVerdict(claim, id, left - 1); });
    });
  }
  hall.addEventListener('submit', function (e) {
    e.preventDefault();
    var claim = hallClaim, name = hallName.value.trim();
    try { storage().setItem(NAME_KEY, name); } catch (err) {}
    hallAsk.hidden = true;
    canvas.focus();
    if (!claim.tape) return void (hallSays.textContent = 'Not sent: this session\'s tape grew too long');
    hallSays.textContent = 'Sending\u2026';
    hallFetch('/api/runs', { name: name, mode: claim.mode, speed: claim.speed, score: claim.score, tape: claim.tape })
      .then(function (r) {
        if (r.status !== 202 || r.json.id === undefined) throw new Error(r.json.error || 'the server answered ' + r.status);
        hallSays.textContent = 'Sent; the server replays the game\u2026';
        return hallVerdict(claim, r.json.id, VERDICT_POLLS);
      }).then(function (verdict) { hallSays.textContent = verdict; }, function (error) {
        hallSays.textContent = 'Not sent: ' + error.message;
        hallButton.hidden = false;
      });
  });

  // ----- the tape -----
  Module.burrowTapeLength = function () { return tapeBytes === null ? -1 : tapeBytes.length; };
  Module.burrowTapeCopy = function (text) { HEAPU8.set(tapeBytes, text); };

  Module.burrowFail = function (message) {
    window.burrowrotorError = message;
    status.textContent = message;
    status.className = 'error';
  };

  Module.burrowTapeRejected = function (why) {
    Module.burrowFail('Cannot replay the button tape ' + options.tape + ': ' + why);
  };

  Module.preRun = [function () {
    if (options.tape === null) return;
    addRunDependency('tape');
    fetch(options.tape).then(function (response) {
      if (!response.ok) throw new Error('HTTP ' + response.status);
      return response.arrayBuffer();
    }).then(function (bytes) {
      if (bytes.byteLength > MAX_TAPE_BYTES) throw new Error('larger than ' + MAX_TAPE_BYTES + ' bytes');
      tapeBytes = new Uint8Array(bytes);
      status.textContent = 'Replaying ' + options.tape;
      removeRunDependency('tape');
    }).catch(function (error) {
      Module.burrowFail('Cannot load the button tape ' + options.tape + ': ' + error.message);
    });
  }];
})();
