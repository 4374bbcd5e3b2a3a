// Listing documents in the refresh's own format, written line by line, and
// the page images they name.
import { mkdir, writeFile } from 'node:fs/promises';
import path from 'node:path';

const LFCR = '\n\r';

// A full path as the UNIQUE attribute and the editor's field names carry it.
export function hex(text) {
  return Buffer.from(text, 'utf8').toString('hex').toUpperCase();
}

function escapeName(text) {
  let out = '';
  for (const byte of Buffer.from(text, 'utf8')) {
    if (byte === 0x26) out += '&amp;';
    else if (byte <= 32 || byte === 127 || byte === 0x22 || byte === 0x3c) out += `&#${byte};`;
    else out += String.fromCharCode(byte);
  }
  return Buffer.from(out, 'latin1').toString('utf8');
}

export function uniqueOf(location, name) {
  const folder = location ? `/home/user/Favorites/${location.replaceAll('\\', '/')}` : '/home/user/Favorites';
  return hex(`${folder}/${name}.url`);
}

export function imageName(name) {
  return `20202031${hex(name)}.BMP`;
}

// folders: [{ location, links: [{ name, url }] }]
export function makeListing(folders, time) {
  const lines = ['<?xml version="1.0" encoding="utf-8"?>', '<BROWSERINFO ', `Time="${time}"`, 'HomePage="No">',
    '<Favoritesfolder>'];
  for (const folder of folders) {
    lines.push(`<Folder Location = "${folder.location}">`);
    folder.links.forEach((link, index) => {
      lines.push('<Link ' + LFCR
        + `UNIQUE="${uniqueOf(folder.location, link.name)}" ` + LFCR
        + 'BROWSER="IE"' + LFCR
        + `SORT_ORDER="${index}"` + LFCR
        + `DESCRIPTION="${escapeName(link.name)}" ` + LFCR
        + 'PRECODE = "200" ' + LFCR
        + `PID_IS_URL="${link.url}"` + LFCR
        + 'VISITS="0"' + LFCR
        + 'CODE = "200" ' + LFCR
        + `IMAGE ="images\\${imageName(link.name)}" ` + LFCR
        + '></Link>');
    });
    lines.push('</Folder>');
  }
  lines.push('</Favoritesfolder>', '</BROWSERINFO>');
  return lines.join('\r\n') + '\r\n';
}

// A plain 122 x 122 picture in the 24-bit BMP format the program stores.
export function bitmap(red, green, blue) {
  const size = 122;
  const rowBytes = Math.ceil((size * 3) / 4) * 4;
  const pixels = rowBytes * size;
  const file = Buffer.alloc(54 + pixels);
  file.write('BM', 0, 'latin1');
  file.writeUInt32LE(file.length, 2);
  file.writeUInt32LE(54, 10);
  file.writeUInt32LE(40, 14);
  file.writeInt32LE(size, 18);
  file.writeInt32LE(size, 22);
  file.writeUInt16LE(1, 26);
  file.writeUInt16LE(24, 28);
  file.writeUInt32LE(pixels, 34);
  for (let y = 0; y < size; y++) {
    for (let x = 0; x < size; x++) {
      const at = 54 + y * rowBytes + x * 3;
      file[at] = blue;
      file[at + 1] = green;
      file[at + 2] = red;
    }
  }
  return file;
}

export async function writeImages(dataFolder, folders) {
  await mkdir(path.join(dataFolder, 'images'), { recursive: true });
  let n = 0;
  for (const folder of folders) {
    for (const link of folder.links) {
      n++;
      await writeFile(path.join(dataFolder, 'images', imageName(link.name)), bitmap((n * 40) % 256, 120, 200));
    }
  }
}
