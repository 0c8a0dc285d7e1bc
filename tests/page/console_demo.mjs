// Starts the host console's demo with its tuning page on a free port, for the page's tests.
import { spawn } from 'node:child_process';
import http from 'node:http';

export async function startDemo(seconds = 300) {
  const console = process.env.TARVELIN_CONSOLE;
  if (!console) throw new Error('TARVELIN_CONSOLE names the console to test');
  const child = spawn(console, ['demo', '--seconds', String(seconds), '--http', '0'], { stdio: ['ignore', 'pipe', 'pipe'] });
  let output = '';
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
  const url = await new Promise((resolve, reject) => {
    const take = (data) => {
      output += data;
      const found = output.match(/tuning page: (http:\/\/\S+)\//);
      if (found) resolve(found[1]);
    };
    child.stdout.on('data', take);
    child.stderr.on('data', take);
    exited.then(() => reject(new Error(`the console ended before it served the page:\n${output}`)));
  });
  return {
    url,
    port: Number(new URL(url).port),
    output: () => output,
    // Stops the demo as Ctrl-C does; throws unless it ended cleanly, without a sanitizer's report.
    async stop() {
      child.kill('SIGINT');
      const { code, signal } = await exited;
      if (code !== 0 || /Sanitizer/.test(output)) {
        throw new Error(`the console ended with ${signal || `exit status ${code}`}:\n${output}`);
      }
    },
  };
}

// One HTTP request with the headers given (a browser's fetch would not let a test set Host).
export function request(base, method, path, { headers = {}, body, host } = {}) {
  const target = new URL(path, base);
  return new Promise((resolve, reject) => {
    const outgoing = http.request({
      host: host || target.hostname,
      port: target.port,
      method,
      path: target.pathname + target.search,
      headers: { ...(body === undefined ? {} : { 'Content-Type': 'application/json' }), ...headers },
    }, (response) => {
      let text = '';
      response.setEncoding('utf8');
      response.on('data', (chunk) => { text += chunk; });
      response.on('end', () => {
        let json = null;
        try { json = JSON.parse(text); } catch (_) { /* not JSON */ }
        resolve({ status: response.statusCode, headers: response.headers, text, json });
      });
    });
    outgoing.on('error', reject);
    if (body !== undefined) outgoing.write(typeof body === 'string' ? body : JSON.stringify(body));
    outgoing.end();
  });
}

export async function waitFor(what, condition, seconds = 20) {
  const deadline = Date.now() + seconds * 1000;
  for (;;) {
    const value = await condition();
    if (value) return value;
    if (Date.now() > deadline) throw new Error(`gave up waiting for ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}
