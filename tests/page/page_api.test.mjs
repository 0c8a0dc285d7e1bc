// The tuning page's JSON, over plain HTTP, from the console running its demo: every field of
// every answer, the edits and what they do to the profile file, the requests it refuses, and
// that it cannot be reached from another address unless told to listen there.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import net from 'node:net';
import { startDemo, request, waitFor } from './console_demo.mjs';

let demo;
const get = (path, options) => request(demo.url, 'GET', path, options);
const post = (path, body, options = {}) => request(demo.url, 'POST', path, { ...options, body });

before(async () => {
  demo = await startDemo();
  await waitFor('the game', async () => (await get('/api/status')).json.game.id === 12);
});
after(async () => { if (demo) await demo.stop(); });

const number = (value) => typeof value === 'number' && Number.isFinite(value);
const figures = (value) => value && ['median', 'p99', 'worst', 'samples'].every((key) => number(value[key]));

test('info names every channel and slot', async () => {
  const { status, json } = await get('/api/info');
  assert.equal(status, 200);
  assert.equal(json.channels.length, 42);
  assert.equal(json.channels[0], 'lateral_speed');
  assert.equal(json.channels[41], 'belt_sum');
  assert.equal(json.slots.length, 23);
  assert.deepEqual(json.slots[0], { slot: 0, name: 'lateral', input: 'lateral_accel_g', inputLimited: true });
  assert.equal(json.slots[10].input, 'belt_sum');
  assert.equal(json.slots[22].input, null);
  assert.equal(json.cyclesPerSecond, 500);
  assert.equal(json.title, 'demo');
  assert.equal(json.profileName, 'example.profile');
  assert.equal(json.latencyMeasured, true);
});

test('status carries every field', async () => {
  // Enough cycles for the figures: a second of the drive.
  const { json } = await waitFor('a second of cycles', async () => {
    const answer = await get('/api/status');
    return answer.json.newestCycle > 500 && answer.json.latencyMs ? answer : null;
  });
  assert.equal(json.title, 'demo');
  assert.ok(number(json.elapsedSeconds));
  assert.equal(json.game.name, 'BeamNG');
  // The emulator sends 100 frames a second; frames that repeat the last (the car at rest) do not count.
  assert.ok(json.game.frameRateHz > 20 && json.game.frameRateHz < 110, `frame rate ${json.game.frameRateHz}`);
  assert.ok(number(json.game.engineFrameIntervalMs));
  assert.ok(number(json.cycle.lastMs));
  assert.ok(figures(json.cycle.periodMs));
  assert.ok(json.cycle.periodMs.median > 1.5 && json.cycle.periodMs.median < 2.5);
  assert.ok(json.softStartPercent >= 0 && json.softStartPercent <= 100);
  assert.equal(typeof json.frozen, 'boolean');
  assert.equal(json.frozen, json.frozenReasons.length > 0);
  assert.deepEqual(json.profile, { active: 'AIR', airPercent: 100, groundPercent: 0 });
  assert.equal(json.link.port, 'COM199');
  assert.equal(json.link.connected, true);
  assert.ok(json.link.framesSent >= json.newestCycle - 50);
  assert.ok(json.link.rigFrames.good > 0 && json.link.rigFrames.bad === 0);
  assert.ok(number(json.link.messagesFromRig));
  assert.equal(json.latencyMeasured, true);
  // Sane, not fast: a loaded machine and the sanitizers' builds stretch it.
  assert.ok(figures(json.latencyMs) && json.latencyMs.median > 0 && json.latencyMs.median < 250,
    `latency ${JSON.stringify(json.latencyMs)}`);
  // The example profile keeps the engine's default pacing.
  assert.equal(json.latencyMode, 'paced');
  assert.equal(json.cyclesAtLimit.length, 23);
  assert.equal(json.atLimit.length, 23);
  assert.deepEqual(json.rigLimits.slice(0, 7), [[-1, 1], [-1, 1], [-1, 1], [-1, 1], [-1, 1], [-1, 1], null]);
});

test('cycles come whole and in order, each once', async () => {
  const first = (await get('/api/cycles?after=0&channels=speed,belt_sum')).json;
  assert.ok(first.first >= 1 && first.last >= first.first);
  const count = first.last - first.first + 1;
  assert.equal(first.cues.length, 23);
  for (const column of first.cues) assert.equal(column.length, count);
  assert.deepEqual(Object.keys(first.channels).sort(), ['belt_sum', 'speed']);
  assert.equal(first.channels.speed.length, count);
  assert.equal(first.skipped, first.first - 1);
  const next = await waitFor('newer cycles', async () => {
    const answer = (await get(`/api/cycles?after=${first.last}`)).json;
    return answer.first !== null ? answer : null;
  });
  assert.equal(next.first, first.last + 1);
  assert.equal(next.skipped, 0);
  assert.deepEqual(next.channels, {});
});

test('the profile as the editor needs it, and as a file', async () => {
  const { json } = await get('/api/profile');
  assert.equal(json.name, 'example.profile');
  assert.equal(json.profiles.length, 2);
  assert.deepEqual(json.profiles[0].slots[0], { filter: 'LOGISTIC(EMALP(GAIN(VALUE;0.12);10);1;1)', active: true });
  assert.deepEqual(json.profiles[1].slots[3], { filter: '', active: false });
  assert.deepEqual(json.profiles[0].beltMix, { 1: 1, 2: 0.5, 5: 1 });
  assert.deepEqual(json.inputLimits[2], [-20, 40]);
  assert.deepEqual(json.rigLimits[5], [-1, 1]);
  assert.deepEqual(json.warnings, []);
  const file = await get('/api/profile.txt');
  assert.equal(file.status, 200);
  assert.match(file.headers['content-disposition'], /filename="example\.profile"/);
  assert.match(file.text, /^# An example profile/);
});

test('edits reach the engine and the profile file, refused ones neither', async () => {
  const check = await post('/api/filter/check', { filter: 'GAIN(EMALP(VALUE;10);2' });
  assert.deepEqual(check.json, { accepted: false, fault: 5, position: 4, message: "this '(' is never closed: a ')' is missing" });

  const refused = await post('/api/filter/apply', { profile: 0, slot: 1, filter: 'GAINS(VALUE;2)' });
  assert.equal(refused.status, 422);
  assert.equal(refused.json.done, false);
  assert.equal(refused.json.filter.fault, 2);
  assert.match(refused.json.reason, /did you mean GAIN/);
  assert.equal((await get('/api/status')).json.frozenReasons.some((r) => /held/.test(r)), false);

  const applied = await post('/api/filter/apply', { profile: 0, slot: 1, filter: 'GAIN(VALUE;0.05)' });
  assert.equal(applied.status, 200);
  let file = (await get('/api/profile.txt')).text;
  assert.match(file, /^longitudinal +=  ?GAIN\(VALUE;0\.05\)$/m);

  assert.equal((await post('/api/slot/active', { profile: 0, slot: 1, active: false })).status, 200);
  file = (await get('/api/profile.txt')).text;
  assert.match(file, /^longitudinal +=  ?off +# was GAIN\(VALUE;0\.05\)$/m);
  assert.equal((await get('/api/profile')).json.profiles[0].slots[1].active, false);
  assert.equal((await post('/api/slot/active', { profile: 0, slot: 1, active: true })).status, 200);
  assert.deepEqual((await get('/api/profile')).json.profiles[0].slots[1], { filter: 'GAIN(VALUE;0.05)', active: true });
  const noFilter = await post('/api/slot/active', { profile: 1, slot: 15, active: true });
  assert.equal(noFilter.status, 422);

  assert.equal((await post('/api/limit', { kind: 'rig', slot: 1, low: -0.5, high: 0.75 })).status, 200);
  assert.deepEqual((await get('/api/status')).json.rigLimits[1], [-0.5, 0.75]);
  assert.match((await get('/api/profile.txt')).text, /^rig longitudinal = -0\.5 0\.75$/m);
  assert.equal((await post('/api/limit', { kind: 'input', slot: 9, low: -1, high: 1 })).status, 422);
  assert.equal((await post('/api/limit', { kind: 'rig', slot: 1, low: 1, high: -1 })).status, 422);
  assert.equal((await post('/api/belt-mix', { profile: 0, index: 4, weight: 0.25 })).status, 200);
  assert.match((await get('/api/profile.txt')).text, /^belt_mix roll = 0\.25$/m);

  const bad = await post('/api/profile', { text: '[air]\nlateral = GAIN(VALUE;2\nsideways = VALUE\n' });
  assert.equal(bad.status, 422);
  assert.deepEqual(bad.json.errors.map((e) => e.line).sort(), [2, 3]);
  assert.match(bad.json.errors.find((e) => e.line === 2).message, /column 15: this '\(' is never closed/);
  const good = await post('/api/profile', { text: '[air]\nlateral = GAIN(VALUE;0.01)\n[limits]\ninput lateral = -30 30\nrig lateral = -1 1\n' });
  assert.equal(good.status, 200);
  assert.equal((await get('/api/profile')).json.profiles[0].slots[0].filter, 'GAIN(VALUE;0.01)');
});

test('bad requests are answered as such', async () => {
  const cases = [
    [await get('/api/cycles?after=-1'), 400],
    [await get('/api/cycles?after=x'), 400],
    [await get('/api/cycles?channels=speed,nothing'), 400],
    [await get('/api/nothing'), 404],
    [await post('/api/filter/check', '{"filter":'), 400],
    [await post('/api/filter/check', { text: 'VALUE' }), 400],
    [await post('/api/filter/apply', { profile: '0', slot: 0, filter: 'VALUE' }), 400],
    [await post('/api/filter/apply', { profile: 0, slot: 23, filter: 'VALUE' }), 422],
    [await post('/api/limit', { kind: 'wind', slot: 0, low: 0, high: 1 }), 400],
    [await post('/api/slot/active', [1, 2]), 400],
    // Changes come as JSON from the page's own origin only.
    [await request(demo.url, 'POST', '/api/filter/apply', { body: '{}', headers: { 'Content-Type': 'text/plain' } }), 415],
    [await post('/api/filter/apply', { profile: 0, slot: 0, filter: 'VALUE' }, { headers: { Origin: 'http://evil.example' } }), 403],
    // A name that a page elsewhere could point at this machine.
    [await get('/api/status', { headers: { Host: `evil.example:${demo.port}` } }), 403],
  ];
  for (const [answer, status] of cases) {
    assert.equal(answer.status, status, answer.text);
    assert.equal(typeof answer.json.error === 'string' || answer.json.done === false, true, answer.text);
  }
  assert.equal((await get('/api/status', { headers: { Host: `localhost:${demo.port}` } })).status, 200);
});

test('the page is not served on any other address', async (t) => {
  // The test's own network namespace gets a second address; the console listens on loopback only.
  try {
    execFileSync('ip', ['address', 'add', '192.0.2.1/32', 'dev', 'lo'], { stdio: 'ignore' });
  } catch (_) {
    t.skip('no network namespace of the test\'s own to add an address to');
    return;
  }
  const error = await new Promise((resolve) => {
    const socket = net.connect({ host: '192.0.2.1', port: demo.port });
    socket.on('connect', () => { socket.destroy(); resolve(null); });
    socket.on('error', resolve);
  });
  assert.equal(error && error.code, 'ECONNREFUSED');
  // Sent from that address to the loopback one, a request is refused by the server itself.
  const answer = await new Promise((resolve, reject) => {
    const socket = net.connect({ host: '127.0.0.1', port: demo.port, localAddress: '192.0.2.1' }, () => {
      // Written without closing this side: the server closes the connection once it answered.
      socket.write(`GET /api/status HTTP/1.1\r\nHost: 127.0.0.1:${demo.port}\r\nConnection: close\r\n\r\n`);
    });
    let text = '';
    socket.on('data', (data) => { text += data; });
    socket.on('end', () => resolve(text));
    socket.on('error', reject);
  });
  assert.match(answer, /^HTTP\/1\.1 403/);
});
