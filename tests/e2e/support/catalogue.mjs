// Reading what a refresh wrote: the Link elements of "listings.xml", the
// title escaping of GIVEN_TITLE, and the 24-bit page image files.

function unescapeXml(text) {
  return text
    .replace(/&#(\d+);/g, (_, code) => String.fromCodePoint(Number(code)))
    .replace(/&#x([0-9a-f]+);/gi, (_, code) => String.fromCodePoint(parseInt(code, 16)))
    .replaceAll('&lt;', '<').replaceAll('&gt;', '>').replaceAll('&quot;', '"').replaceAll('&apos;', "'")
    .replaceAll('&amp;', '&');
}

// [{ folder, attributes: { NAME: value } }] in document order, values unescaped.
export function readLinks(xml) {
  const links = [];
  let folder = null;
  const pattern = /<Folder Location = "([^"]*)">|<Link\s([\s\S]*?)><\/Link>/g;
  for (const match of xml.matchAll(pattern)) {
    if (match[1] !== undefined) {
      folder = unescapeXml(match[1]);
      continue;
    }
    const attributes = {};
    for (const [, name, value] of match[2].matchAll(/([A-Za-z_0-9]+)\s*=\s*"([^"]*)"/g)) {
      attributes[name] = unescapeXml(value);
    }
    links.push({ folder, attributes });
  }
  return links;
}

// The escaping a page title gets in GIVEN_TITLE: "&" doubled up as an
// entity, ten reserved characters and code points 127 to 255 as "%" and
// their decimal code.
export function percentEscape(title) {
  const reserved = new Set([32, 34, 42, 47, 58, 60, 62, 63, 92, 124]);
  let out = '';
  for (const character of title.replaceAll('&', '&amp;')) {
    const code = character.codePointAt(0);
    out += reserved.has(code) || (code >= 127 && code <= 255) ? `%${code}` : character;
  }
  return out;
}

// { width, height, pixel(x, y) -> [r, g, b] } of a 24-bit bottom-up bitmap.
export function readBitmap(file) {
  if (file.toString('latin1', 0, 2) !== 'BM') throw new Error('not a bitmap file');
  const offset = file.readUInt32LE(10);
  const width = file.readInt32LE(18);
  const rawHeight = file.readInt32LE(22);
  const bits = file.readUInt16LE(28);
  if (bits !== 24) throw new Error(`${bits} bits a pixel`);
  const height = Math.abs(rawHeight);
  const rowBytes = Math.ceil((width * 3) / 4) * 4;
  return {
    width,
    height,
    pixel(x, y) {
      const row = rawHeight > 0 ? height - 1 - y : y;
      const at = offset + row * rowBytes + x * 3;
      return [file[at + 2], file[at + 1], file[at]];
    },
  };
}

// How many distinct colours a picture holds (a uniform picture has one).
export function colourCount(bitmap) {
  const seen = new Set();
  for (let y = 0; y < bitmap.height; y++) {
    for (let x = 0; x < bitmap.width; x++) seen.add(bitmap.pixel(x, y).join(','));
  }
  return seen.size;
}

export function near([r, g, b], hexColour, tolerance = 40) {
  const want = [1, 3, 5].map((i) => parseInt(hexColour.slice(i, i + 2), 16));
  return Math.abs(r - want[0]) <= tolerance && Math.abs(g - want[1]) <= tolerance && Math.abs(b - want[2]) <= tolerance;
}
