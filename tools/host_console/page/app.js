// The tuning page: reads the console's JSON (never the engine itself) and plots every cycle.
'use strict';

(() => {
  const HISTORY = 5000;           // cycles kept for the plots: ten seconds
  const CYCLES_PER_SECOND = 500;
  const POLL_MS = 100;
  const STATUS_MS = 250;
  const CHECK_DELAY_MS = 120;
  // The six axes, belt and wind first, then the slots that add into them.
  const CUE_ORDER = [0, 1, 2, 3, 4, 5, 10, 21, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 22];
  const AXIS_COLOURS = ['#4fa3ff', '#3ec27a', '#e8b13a', '#d76cd6', '#ff7b5c', '#5ce0e0'];
  const CHANNEL_COLOURS = ['#4fa3ff', '#e8b13a', '#3ec27a', '#ff7b5c', '#d76cd6', '#5ce0e0', '#c3e04f', '#ff5c9d'];
  const BELT_COMPONENTS = [['longitudinal', 1], ['vertical', 2], ['roll', 4], ['pitch', 5]];

  const $ = (id) => document.getElementById(id);

  const page = {
    info: null,
    profile: null,
    status: null,
    after: 0,               // the newest cycle received
    x: [],                  // seconds since the session began
    cues: [],               // per slot
    channels: new Map(),    // name -> values
    chosen: ['lateral_accel_g', 'longitu_accel_g', 'vertica_accel_g'],
    plots: {},
    editProfile: 0,
    editSlot: 0,
    checkNumber: 0,
    checked: null,          // the explanation of the string in the input
    peaks: new Array(23).fill(0),
  };
  window.tuningPage = page;

  async function getJson(url) {
    const response = await fetch(url, { cache: 'no-store' });
    if (!response.ok) throw new Error(`${url}: ${response.status}`);
    return response.json();
  }

  async function postJson(url, body) {
    const response = await fetch(url, {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify(body),
    });
    let answer = {};
    try { answer = await response.json(); } catch (_) { /* an empty answer */ }
    return { ok: response.ok, status: response.status, body: answer };
  }

  function format(value, digits = 3) {
    if (value === null || value === undefined || !Number.isFinite(value)) return '–';
    return value.toFixed(digits);
  }

  // --- Plots ----------------------------------------------------------------------------------

  function makePlot(element, series, height = 180) {
    const options = {
      width: Math.max(element.clientWidth, 300),
      height,
      scales: { x: { time: false } },
      axes: [
        { stroke: '#8a93a3', grid: { stroke: '#2c323c' }, label: 's' },
        { stroke: '#8a93a3', grid: { stroke: '#2c323c' }, size: 60 },
      ],
      legend: { live: false },
      cursor: { show: false },
      series: [{ label: 's' }, ...series.map(([label, colour]) => ({ label, stroke: colour, width: 1.5, points: { show: false } }))],
    };
    const plot = new uPlot(options, [[], ...series.map(() => [])], element);
    new ResizeObserver(() => plot.setSize({ width: Math.max(element.clientWidth, 300), height })).observe(element);
    return plot;
  }

  function rebuildTelemetryPlot() {
    const element = $('telemetry-plot');
    if (page.plots.telemetry) page.plots.telemetry.destroy();
    element.textContent = '';
    page.plots.telemetry = makePlot(element, page.chosen.map((name, i) => [name, CHANNEL_COLOURS[i % CHANNEL_COLOURS.length]]));
    const chips = $('channel-chips');
    chips.textContent = '';
    page.chosen.forEach((name, i) => {
      const chip = document.createElement('span');
      chip.className = 'chip';
      chip.style.borderColor = CHANNEL_COLOURS[i % CHANNEL_COLOURS.length];
      chip.textContent = name;
      const remove = document.createElement('button');
      remove.textContent = '×';
      remove.title = `remove ${name}`;
      remove.onclick = () => { page.chosen = page.chosen.filter((c) => c !== name); restartHistory(); };
      chip.appendChild(remove);
      chips.appendChild(chip);
    });
  }

  function rebuildSlotPlots() {
    for (const key of ['slotInput', 'slotOutput']) if (page.plots[key]) page.plots[key].destroy();
    $('slot-input-plot').textContent = '';
    $('slot-output-plot').textContent = '';
    const slot = page.info.slots[page.editSlot];
    const limits = page.profile && page.profile.inputLimits[page.editSlot];
    let title = slot.input ? `input: ${slot.input}` : 'input: none (the slot is fed 0)';
    if (slot.inputLimited) title += limits ? ` clamped to ${limits[0]} .. ${limits[1]}` : ' clamped to 0 .. 0 (no input limit)';
    $('slot-input-title').textContent = title;
    $('slot-output-title').textContent = page.editSlot === 4 || page.editSlot === 5
      ? `output: the ${slot.name} axis, all its slots together` : `output: ${slot.name}`;
    page.plots.slotInput = makePlot($('slot-input-plot'), [[slot.input || 'input', '#e8b13a']], 150);
    page.plots.slotOutput = makePlot($('slot-output-plot'), [[slot.name, '#4fa3ff']], 150);
  }

  function slotInputValues() {
    const slot = page.info.slots[page.editSlot];
    if (!slot.input) return page.x.map(() => 0);
    const values = page.channels.get(slot.input) || [];
    if (!slot.inputLimited) return values;
    const limits = (page.profile && page.profile.inputLimits[page.editSlot]) || [0, 0];
    // The chain sees its input clamped as the engine clamps it: low wins over high.
    return values.map((v) => (v === null ? null : (limits[0] > v ? limits[0] : Math.min(limits[1], v))));
  }

  function redraw() {
    if (!page.plots.motion) return;
    page.plots.motion.setData([page.x, ...page.cues.slice(0, 6)]);
    page.plots.telemetry.setData([page.x, ...page.chosen.map((name) => page.channels.get(name) || [])]);
    page.plots.slotInput.setData([page.x, slotInputValues()]);
    page.plots.slotOutput.setData([page.x, page.cues[page.editSlot]]);
  }

  // --- Cycles -----------------------------------------------------------------------------------

  function wantedChannels() {
    const names = new Set(page.chosen);
    const input = page.info.slots[page.editSlot].input;
    if (input) names.add(input);
    return [...names];
  }

  function restartHistory() {
    page.after = 0;
    page.x = [];
    page.cues = Array.from({ length: 23 }, () => []);
    page.channels = new Map();
    rebuildTelemetryPlot();
  }

  async function pollCycles() {
    const names = wantedChannels();
    const answer = await getJson(`/api/cycles?after=${page.after}&channels=${encodeURIComponent(names.join(','))}`);
    if (answer.first === null) return;
    const count = answer.cues[0].length;
    for (let i = 0; i < count; ++i) page.x.push((answer.first + i) / CYCLES_PER_SECOND);
    answer.cues.forEach((column, slot) => page.cues[slot].push(...column));
    for (const name of names) {
      if (!page.channels.has(name)) page.channels.set(name, new Array(page.x.length - count).fill(null));
      page.channels.get(name).push(...answer.channels[name]);
    }
    const excess = page.x.length - HISTORY;
    if (excess > 0) {
      page.x.splice(0, excess);
      page.cues.forEach((column) => column.splice(0, excess));
      for (const column of page.channels.values()) column.splice(0, Math.max(0, column.length - HISTORY));
    }
    page.after = answer.last;
    document.body.dataset.newestCycle = String(answer.last);
    redraw();
  }

  // --- Status -----------------------------------------------------------------------------------

  function buildCueTable() {
    const body = document.querySelector('#cues tbody');
    CUE_ORDER.forEach((slot, row) => {
      const tr = document.createElement('tr');
      tr.id = `cue-${slot}`;
      if (row === 6 || row === 8) tr.className = 'group';
      tr.innerHTML = `<td class="name"></td><td class="value"></td>
        <td><div class="bar"><div class="zero"></div><div class="fill"></div></div></td><td class="count"></td>`;
      tr.querySelector('.name').textContent = page.info.slots[slot].name;
      body.appendChild(tr);
    });
  }

  function updateCues(status) {
    for (const slot of CUE_ORDER) {
      const row = $(`cue-${slot}`);
      const column = page.cues[slot];
      const value = column.length ? column[column.length - 1] : 0;
      const limit = status.rigLimits[slot];
      let low;
      let high;
      if (limit && limit[1] > limit[0]) {
        [low, high] = limit;
      } else {
        // No range to show against: the bar scales to the largest value seen.
        page.peaks[slot] = Math.max(page.peaks[slot], Math.abs(value || 0), 1e-9);
        [low, high] = [Math.min(-page.peaks[slot], 0), page.peaks[slot]];
        if (slot === 10 || slot === 21) low = 0;
      }
      const at = (v) => Math.min(1, Math.max(0, (v - low) / (high - low))) * 100;
      const zero = at(0);
      const mark = at(value || 0);
      row.querySelector('.zero').style.left = `${zero}%`;
      const fill = row.querySelector('.fill');
      fill.style.left = `${Math.min(zero, mark)}%`;
      fill.style.width = `${Math.max(Math.abs(mark - zero), 0.5)}%`;
      row.querySelector('.value').textContent = format(value, slot === 10 || slot === 21 ? 1 : 3);
      row.classList.toggle('at-limit', status.atLimit[slot]);
      row.classList.toggle('unlimited', !limit);
      const count = row.querySelector('.count');
      count.textContent = limit ? String(status.cyclesAtLimit[slot]) : '';
      count.classList.toggle('hit', status.cyclesAtLimit[slot] > 0);
      count.title = limit ? `${status.cyclesAtLimit[slot]} cycles at the rig limit ${limit[0]} .. ${limit[1]}` : 'no rig limit';
    }
  }

  function showStatus(status) {
    page.status = status;
    $('title').textContent = status.title;
    const game = status.game;
    $('game').textContent = game.name ? `${game.name} (${game.id})` : 'searching…';
    $('game-rate').textContent = game.name
      ? `${format(game.frameRateHz, 1)} frames/s from the game · engine reads every ${format(game.engineFrameIntervalMs, 2)} ms` : '';
    $('cycle-period').textContent = `${format(status.cycle.lastMs)} ms`;
    const period = status.cycle.periodMs;
    $('cycle-figures').textContent = period
      ? `median ${format(period.median)} · p99 ${format(period.p99)} · worst ${format(period.worst)} ms` : '';
    $('soft-start').textContent = `${format(status.softStartPercent, 0)} %`;
    $('soft-start-bar').style.width = `${status.softStartPercent || 0}%`;
    const frozen = $('frozen');
    frozen.textContent = status.frozen ? 'frozen' : status.softStartPercent < 100 ? 'blending in' : 'live';
    frozen.className = status.frozen ? 'frozen' : 'moving';
    $('frozen-reasons').textContent = status.frozenReasons.join(' · ');
    const profile = status.profile;
    $('profile-weights').textContent = `${profile.active} · air ${format(profile.airPercent, 0)} % · ground ${format(profile.groundPercent, 0)} %`;
    $('air-bar').style.width = `${profile.airPercent || 0}%`;
    const link = status.link;
    $('link').textContent = `${link.port || '–'} ${link.connected ? 'connected' : 'not connected'}`;
    $('link-frames').textContent = `sent ${link.framesSent} · ` + (link.rigFrames
      ? `rig confirmed ${link.rigFrames.good} (${link.rigFrames.bad} bad)` : `frames from the rig ${link.messagesFromRig}`);
    const mode = { low: 'low-latency mode', 'low, paced': 'low-latency mode, paced: the game is not on the network',
      paced: 'paced mode' }[status.latencyMode] || status.latencyMode;
    if (!status.latencyMeasured) {
      $('latency').textContent = 'not measurable';
      $('latency-figures').textContent = `${mode}; the console sees both ends only in the demo`;
    } else if (status.latencyMs) {
      $('latency').textContent = `${format(status.latencyMs.median, 2)} ms`;
      $('latency-figures').textContent = `median · p99 ${format(status.latencyMs.p99, 2)} ms (${status.latencyMs.samples} frames) · ${mode}`;
    } else {
      $('latency').textContent = 'measuring…';
      $('latency-figures').textContent = mode;
    }
    updateCues(status);
  }

  // --- Chain editor -----------------------------------------------------------------------------

  function slotSettings() { return page.profile.profiles[page.editProfile].slots[page.editSlot]; }

  function showSlot() {
    const settings = slotSettings();
    $('current-filter').textContent = settings.filter || '(none: the slot yields 0)';
    $('filter-input').value = settings.filter || 'VALUE';
    $('slot-active').checked = settings.active;
    const input = page.profile.inputLimits[page.editSlot];
    const rig = page.profile.rigLimits[page.editSlot];
    const inputAllowed = page.info.slots[page.editSlot].inputLimited;
    for (const id of ['input-low', 'input-high', 'input-set']) $(id).disabled = !inputAllowed;
    $('input-low').value = input ? input[0] : '';
    $('input-high').value = input ? input[1] : '';
    $('rig-low').value = rig ? rig[0] : '';
    $('rig-high').value = rig ? rig[1] : '';
    $('limit-reason').textContent = '';
    const mix = $('belt-mix');
    mix.textContent = '';
    const label = document.createElement('span');
    label.className = 'label';
    label.textContent = `belt mix (${page.editProfile === 0 ? 'AIR' : 'GROUND'})`;
    mix.appendChild(label);
    for (const [name, index] of BELT_COMPONENTS) {
      const field = document.createElement('input');
      field.type = 'number';
      field.step = 'any';
      field.id = `belt-${name}`;
      field.title = `belt mix weight of ${name}`;
      const weight = page.profile.profiles[page.editProfile].beltMix[String(index)];
      field.value = weight === undefined ? 0 : weight;
      field.onchange = async () => {
        const answer = await postJson('/api/belt-mix', { profile: page.editProfile, index, weight: Number(field.value) });
        $('limit-reason').textContent = answer.ok ? '' : (answer.body.reason || answer.body.error);
        await loadProfile();
      };
      const tag = document.createElement('span');
      tag.className = 'small';
      tag.textContent = name;
      mix.append(tag, field);
    }
    rebuildSlotPlots();
    checkFilter();
  }

  function showExplanation(explanation, text) {
    const reason = $('filter-reason');
    const input = $('filter-input');
    const caret = $('filter-caret');
    page.checked = explanation;
    input.classList.toggle('rejected', !explanation.accepted);
    input.classList.toggle('accepted', explanation.accepted);
    $('filter-apply').disabled = !explanation.accepted || text === slotSettings().filter;
    caret.textContent = explanation.position >= 0 ? `${' '.repeat(explanation.position)}^` : '';
    if (!explanation.accepted) {
      reason.className = '';
      reason.textContent = explanation.message;
    } else if (explanation.message) {
      reason.className = 'note';
      reason.textContent = explanation.message;
    } else {
      reason.className = 'fine';
      reason.textContent = text === slotSettings().filter ? 'installed' : 'valid: Apply installs it';
    }
  }

  let checkTimer = null;
  function checkFilter() {
    clearTimeout(checkTimer);
    checkTimer = setTimeout(async () => {
      const text = $('filter-input').value;
      const number = ++page.checkNumber;
      const answer = await postJson('/api/filter/check', { filter: text });
      // An answer to an older string than the one in the input is of no use.
      if (number !== page.checkNumber || !answer.ok) return;
      showExplanation(answer.body, text);
    }, CHECK_DELAY_MS);
  }

  async function applyFilter() {
    const text = $('filter-input').value;
    $('filter-apply').disabled = true;
    const answer = await postJson('/api/filter/apply', { profile: page.editProfile, slot: page.editSlot, filter: text });
    if (!answer.ok) {
      if (answer.body.filter) showExplanation(answer.body.filter, text);
      $('filter-reason').className = '';
      $('filter-reason').textContent = answer.body.reason || answer.body.error;
      return;
    }
    await loadProfile();
    $('filter-reason').className = 'fine';
    $('filter-reason').textContent = 'applied: the cues blend over to it in 4 s';
  }

  async function setLimit(kind) {
    const low = Number($(`${kind}-low`).value);
    const high = Number($(`${kind}-high`).value);
    const answer = await postJson('/api/limit', { kind, slot: page.editSlot, low, high });
    $('limit-reason').textContent = answer.ok ? '' : (answer.body.reason || answer.body.error);
    await loadProfile();
  }

  async function setActive() {
    const active = $('slot-active').checked;
    const answer = await postJson('/api/slot/active', { profile: page.editProfile, slot: page.editSlot, active });
    if (!answer.ok) {
      $('slot-active').checked = !active;
      $('filter-reason').className = '';
      $('filter-reason').textContent = answer.body.reason || answer.body.error;
    }
    await loadProfile();
  }

  async function loadProfile(showSelected = false) {
    page.profile = await getJson('/api/profile');
    $('profile-name').textContent = page.profile.name;
    const warnings = $('profile-warnings');
    warnings.textContent = '';
    for (const warning of page.profile.warnings) {
      const item = document.createElement('li');
      item.textContent = `line ${warning.line}: ${warning.message}`;
      warnings.appendChild(item);
    }
    if (showSelected) {
      showSlot();
    } else {
      const settings = slotSettings();
      $('current-filter').textContent = settings.filter || '(none: the slot yields 0)';
      $('slot-active').checked = settings.active;
    }
  }

  async function loadProfileFile(file) {
    const text = await file.text();
    const answer = await postJson('/api/profile', { text });
    const reason = $('profile-reason');
    if (answer.ok) {
      reason.textContent = '';
      await loadProfile(true);
    } else {
      reason.textContent = answer.body.errors
        ? answer.body.errors.map((e) => `line ${e.line}: ${e.message}`).join('; ') : answer.body.error;
    }
    $('profile-load').value = '';
  }

  // --- Start ------------------------------------------------------------------------------------

  function loop(what, interval) {
    const badge = $('connection');
    const run = async () => {
      try {
        await what();
        badge.textContent = 'live';
        badge.className = 'badge live';
      } catch (error) {
        badge.textContent = 'the console does not answer';
        badge.className = 'badge lost';
      }
      setTimeout(run, interval);
    };
    run();
  }

  async function start() {
    page.info = await getJson('/api/info');
    page.cues = Array.from({ length: 23 }, () => []);
    const names = $('channel-names');
    for (const name of page.info.channels) {
      const option = document.createElement('option');
      option.value = name;
      names.appendChild(option);
    }
    const slots = $('edit-slot');
    for (const slot of page.info.slots) {
      const option = document.createElement('option');
      option.value = slot.slot;
      option.textContent = `${slot.slot} ${slot.name}`;
      slots.appendChild(option);
    }
    buildCueTable();
    page.plots.motion = makePlot($('motion-plot'), page.info.slots.slice(0, 6).map((s, i) => [s.name, AXIS_COLOURS[i]]), 220);
    rebuildTelemetryPlot();
    await loadProfile();
    showSlot();

    $('edit-profile').onchange = () => { page.editProfile = Number($('edit-profile').value); showSlot(); };
    $('edit-slot').onchange = () => { page.editSlot = Number($('edit-slot').value); showSlot(); restartHistory(); };
    $('filter-input').addEventListener('input', checkFilter);
    $('filter-input').addEventListener('keydown', (event) => {
      if (event.key === 'Enter' && !$('filter-apply').disabled) applyFilter();
    });
    $('filter-apply').onclick = applyFilter;
    $('slot-active').onchange = setActive;
    $('input-set').onclick = () => setLimit('input');
    $('rig-set').onclick = () => setLimit('rig');
    $('profile-load').onchange = (event) => { if (event.target.files[0]) loadProfileFile(event.target.files[0]); };
    const addChannel = () => {
      const name = $('channel-input').value.trim();
      if (!page.info.channels.includes(name) || page.chosen.includes(name)) return;
      page.chosen.push(name);
      $('channel-input').value = '';
      restartHistory();
    };
    $('channel-add').onclick = addChannel;
    $('channel-input').addEventListener('keydown', (event) => { if (event.key === 'Enter') addChannel(); });

    loop(pollCycles, POLL_MS);
    loop(async () => showStatus(await getJson('/api/status')), STATUS_MS);
  }

  start();
})();
