// A private X display (Xvfb) for the program's own window, driven with
// xdotool, and window screenshots (xwd) turned into PNG files.
import { execFile, spawn } from 'node:child_process';
import { writeFile } from 'node:fs/promises';
import { promisify } from 'node:util';
import zlib from 'node:zlib';

const run = promisify(execFile);

// Starts Xvfb on a display number it picks itself; resolves to { display, stop }.
export async function startXvfb() {
  const child = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1024x768x24', '-nolisten', 'tcp'], {
    stdio: ['ignore', 'ignore', 'pipe', 'pipe'],
  });
  let log = '';
  child.stderr.on('data', (chunk) => { log += chunk; });
  const number = await new Promise((resolve, reject) => {
    let text = '';
    const timer = setTimeout(() => reject(new Error(`Xvfb did not start: ${log}`)), 30000);
    child.stdio[3].on('data', (chunk) => {
      text += chunk;
      if (text.includes('\n')) {
        clearTimeout(timer);
        resolve(text.trim());
      }
    });
    child.once('exit', (code) => {
      clearTimeout(timer);
      reject(new Error(`Xvfb ended (${code}): ${log}`));
    });
  });
  const exited = new Promise((resolve) => child.once('exit', resolve));
  return {
    display: `:${number}`,
    async stop() {
      if (child.exitCode === null && child.signalCode === null) child.kill('SIGTERM');
      await exited;
    },
  };
}

export async function xdotool(display, ...args) {
  const { stdout } = await run('xdotool', args, { env: { ...process.env, DISPLAY: display } });
  return stdout.trim();
}

// The id of the visible top-level window with exactly this title, or ''.
export async function findWindow(display, title) {
  try {
    const ids = (await xdotool(display, 'search', '--onlyvisible', '--name', `^${title}$`)).split('\n').filter(Boolean);
    return ids[0] || '';
  } catch {
    return ''; // xdotool says "not found" through its exit status
  }
}

export async function windowGeometry(display, id) {
  const text = await xdotool(display, 'getwindowgeometry', '--shell', id);
  const values = Object.fromEntries(text.split('\n').map((line) => line.split('=')));
  return { x: Number(values.X), y: Number(values.Y), width: Number(values.WIDTH), height: Number(values.HEIGHT) };
}

export async function clickInWindow(display, id, x, y) {
  await xdotool(display, 'mousemove', '--window', id, String(x), String(y));
  await xdotool(display, 'click', '1');
}

// --- xwd to PNG -----------------------------------------------------------

// The window's pixels as { width, height, rgb } (3 bytes a pixel, top row first).
export async function grabWindow(display, id) {
  const { stdout } = await run('xwd', ['-silent', '-id', id], {
    env: { ...process.env, DISPLAY: display }, encoding: 'buffer', maxBuffer: 64 * 1024 * 1024,
  });
  return decodeXwd(stdout);
}

export function decodeXwd(file) {
  const field = (i) => file.readUInt32BE(i * 4);
  const headerSize = field(0);
  const width = field(4);
  const height = field(5);
  const byteOrder = field(7); // 0: least significant byte first
  const bitsPerPixel = field(11);
  const bytesPerLine = field(12);
  const masks = [field(14), field(15), field(16)];
  const colours = field(19);
  if (field(1) !== 7 || (bitsPerPixel !== 32 && bitsPerPixel !== 24)) {
    throw new Error(`unsupported xwd picture (version ${field(1)}, ${bitsPerPixel} bits a pixel)`);
  }
  const pixels = headerSize + colours * 12;
  const shifts = masks.map((mask) => {
    let shift = 0;
    while (mask && !((mask >>> shift) & 1)) shift++;
    return shift;
  });
  const bytes = bitsPerPixel / 8;
  const rgb = Buffer.alloc(width * height * 3);
  for (let y = 0; y < height; y++) {
    for (let x = 0; x < width; x++) {
      const at = pixels + y * bytesPerLine + x * bytes;
      let value = 0;
      for (let b = 0; b < bytes; b++) {
        const byte = file[at + (byteOrder === 0 ? b : bytes - 1 - b)];
        value += byte * 2 ** (8 * b);
      }
      for (let c = 0; c < 3; c++) rgb[(y * width + x) * 3 + c] = ((value & masks[c]) >>> shifts[c]) & 0xff;
    }
  }
  return { width, height, rgb };
}

const CRC_TABLE = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});

function crc32(buffer) {
  let c = 0xffffffff;
  for (const byte of buffer) c = CRC_TABLE[(c ^ byte) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

function chunk(type, data) {
  const length = Buffer.alloc(4);
  length.writeUInt32BE(data.length);
  const body = Buffer.concat([Buffer.from(type, 'latin1'), data]);
  const crc = Buffer.alloc(4);
  crc.writeUInt32BE(crc32(body));
  return Buffer.concat([length, body, crc]);
}

export function encodePng({ width, height, rgb }) {
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header[8] = 8; // bits a channel
  header[9] = 2; // truecolour
  const rows = Buffer.alloc((width * 3 + 1) * height);
  for (let y = 0; y < height; y++) {
    rows[y * (width * 3 + 1)] = 0; // no filter
    rgb.copy(rows, y * (width * 3 + 1) + 1, y * width * 3, (y + 1) * width * 3);
  }
  return Buffer.concat([
    Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    chunk('IHDR', header),
    chunk('IDAT', zlib.deflateSync(rows, { level: 9 })),
    chunk('IEND', Buffer.alloc(0)),
  ]);
}

export async function saveWindowPng(display, id, file) {
  await writeFile(file, encodePng(await grabWindow(display, id)));
}
