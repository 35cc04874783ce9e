// Reads an MCAP file with the format's reference reader (@mcap/core) twice: through the summary
// with McapIndexedReader, and record by record with McapStreamReader. Prints one JSON document:
//   {"indexed": {"statistics", "chunkIndexes", "summaryOffsets", "channels", "messages"},
//    "stream": {"records", "channels", "messages"}}
// where a channel is {topic: {schema, schemaEncoding, schemaTitle, messageEncoding}} and a message is
// [topic, logTime, publishTime, sequence, the message parsed as JSON]; times are decimal strings of
// nanoseconds. Any fault the readers find (a CRC, an offset, a length) ends it with status 1.
// Usage: node read-mcap.js FILE
"use strict";

const fs = require("node:fs");
const { McapIndexedReader, McapStreamReader } = require("@mcap/core");
const { decompress } = require("fzstd");

const decompressHandlers = {
  zstd: (buffer, size) => {
    const out = decompress(buffer, new Uint8Array(Number(size)));
    if (out.length !== Number(size)) throw new Error(`a chunk decompressed to ${out.length} bytes, not ${size}`);
    return out;
  },
};

function describeChannels(channels, schemas) {
  const described = {};
  for (const channel of channels.values()) {
    const schema = schemas.get(channel.schemaId);
    described[channel.topic] = {
      schema: schema ? schema.name : null,
      schemaEncoding: schema ? schema.encoding : null,
      schemaTitle: schema ? JSON.parse(Buffer.from(schema.data).toString("utf8")).title : null,
      messageEncoding: channel.messageEncoding,
    };
  }
  return described;
}

function message(record, channels) {
  return [
    channels.get(record.channelId).topic,
    record.logTime.toString(),
    record.publishTime.toString(),
    record.sequence,
    JSON.parse(Buffer.from(record.data).toString("utf8")),
  ];
}

async function readIndexed(bytes) {
  const readable = {
    size: async () => BigInt(bytes.length),
    read: async (offset, size) => bytes.subarray(Number(offset), Number(offset + size)),
  };
  const reader = await McapIndexedReader.Initialize({ readable, decompressHandlers });
  const statistics = reader.statistics;
  const messages = [];
  for await (const record of reader.readMessages({ validateCrcs: true })) {
    messages.push(message(record, reader.channelsById));
  }
  const channelMessageCounts = {};
  for (const [id, count] of statistics.channelMessageCounts) {
    channelMessageCounts[reader.channelsById.get(id).topic] = count.toString();
  }
  return {
    statistics: {
      messageCount: statistics.messageCount.toString(),
      schemaCount: statistics.schemaCount,
      channelCount: statistics.channelCount,
      chunkCount: statistics.chunkCount,
      messageStartTime: statistics.messageStartTime.toString(),
      messageEndTime: statistics.messageEndTime.toString(),
      channelMessageCounts,
    },
    chunkIndexes: reader.chunkIndexes.map((index) => ({
      compression: index.compression,
      messageStartTime: index.messageStartTime.toString(),
      messageEndTime: index.messageEndTime.toString(),
      messageIndexes: index.messageIndexOffsets.size,
    })),
    summaryOffsets: [...reader.summaryOffsetsByOpcode.keys()].sort((a, b) => a - b),
    channels: describeChannels(reader.channelsById, reader.schemasById),
    messages,
  };
}

function readStream(bytes) {
  const reader = new McapStreamReader({ decompressHandlers, validateCrcs: true });
  // In pieces, as a stream arrives.
  for (let offset = 0; offset < bytes.length; offset += 4096) reader.append(bytes.subarray(offset, offset + 4096));
  const records = {};
  const schemas = new Map();
  const channels = new Map();
  const messages = [];
  for (let record; (record = reader.nextRecord()); ) {
    records[record.type] = (records[record.type] || 0) + 1;
    if (record.type === "Schema") schemas.set(record.id, record);
    if (record.type === "Channel") channels.set(record.id, record);
    if (record.type === "Message") messages.push(message(record, channels));
  }
  if (!reader.done()) throw new Error(`the stream ends without its footer (${reader.bytesRemaining()} bytes left)`);
  return { records, channels: describeChannels(channels, schemas), messages };
}

async function main() {
  const bytes = new Uint8Array(fs.readFileSync(process.argv[2]));
  const indexed = await readIndexed(bytes);
  const stream = readStream(bytes);
  process.stdout.write(JSON.stringify({ indexed, stream }) + "\n");
}

main().catch((error) => {
  process.stderr.write(`read-mcap: ${error.stack || error}\n`);
  process.exit(1);
});
