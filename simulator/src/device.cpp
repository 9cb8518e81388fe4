// Register file, framing, command register, memory port and sensor inputs.
#include "device.h"

#include "scansim.h"

#include <algorithm>
#include <chrono>
#include <string.h>

namespace scansim {

uint64_t nowMs()
{
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

namespace {

const uint8_t kRegions[] = {MEM_OFFSET_RED,   MEM_GAIN_RED,  MEM_GAMMA_RED,  MEM_OFFSET_GREEN,
                            MEM_GAIN_GREEN,   MEM_GAMMA_GREEN, MEM_OFFSET_BLUE, MEM_GAIN_BLUE,
                            MEM_GAMMA_BLUE,   MEM_BUFFER};

uint32_t regionSize(uint8_t id)
{
    switch (id) {
    case MEM_GAMMA_RED: case MEM_GAMMA_GREEN: case MEM_GAMMA_BLUE: return MEM_GAMMA_SIZE;
    case MEM_BUFFER: return MEM_BUFFER_SIZE;
    default: return MEM_SHADING_SIZE;
    }
}

} // namespace

Device::Device(Kind kind, uint16_t vendorId, uint16_t productId)
    : kind_(kind), vendorId_(vendorId), productId_(productId), geometry_(geometryOf(kind)),
      response_(makePixelResponse(kind))
{
    powerOn();
}

void Device::powerOn()
{
    regs_.clear();
    scanRegs_.clear();
    memory_.clear();
    for (uint8_t id : kRegions)
        memory_[id].assign(regionSize(id), 0);
    for (uint8_t id : {MEM_GAMMA_RED, MEM_GAMMA_GREEN, MEM_GAMMA_BLUE})
        for (uint32_t e = 0; e < MEM_GAMMA_SIZE; ++e)
            memory_[id][e] = uint8_t(e / 16);
    memAddress_ = 0;
    readRemaining_ = 0;
    scanning_ = false;
    poweredDown_ = false;
    line_.clear();
    linePos_ = 0;
    paper_.stopRun(nowMs());
}

// Chunks: command, register, length high, length low, then the data of a write.
void Device::bulkOut(const uint8_t* data, uint32_t size)
{
    uint32_t pos = 0;
    while (pos < size) {
        if (size - pos < FRAME_HEADER_SIZE) {
            ++protocolErrors_;
            return;
        }
        uint8_t cmd = data[pos];
        uint8_t reg = data[pos + 1];
        uint32_t length = uint32_t(data[pos + 2]) << 8 | data[pos + 3];
        pos += FRAME_HEADER_SIZE;
        switch (cmd) {
        case FRAME_WRITE:
        case FRAME_WRITE_INC:
            if (length > size - pos) {
                ++protocolErrors_;
                return;
            }
            for (uint32_t i = 0; i < length; ++i) {
                if (cmd == FRAME_WRITE_INC)
                    writeRegister(uint8_t((reg + i) & 0x7F), data[pos + i], false);
                else
                    writeRegister(reg, data[pos + i], true);
            }
            pos += length;
            break;
        case FRAME_READ:
        case FRAME_READ_INC:
            readRegister_ = reg;
            readRemaining_ = length;
            readIncrement_ = cmd == FRAME_READ_INC;
            break;
        default:
            ++protocolErrors_;
            return;
        }
    }
}

uint32_t Device::bulkIn(uint8_t* buffer, uint32_t size)
{
    ++readCount_;
    uint32_t want = std::min(size, readRemaining_);
    if (faults_.shortEvery && readCount_ % faults_.shortEvery == 0)
        want /= 2;
    bool imageData = !readIncrement_ && readRegister_ == REG_DATA_PORT;
    if (imageData) {
        if (!scanning_ || format_.bytes == 0)
            want = 0;
        if (faults_.shortFromActive)
            want = uint32_t(std::min<uint64_t>(want, faults_.shortFromRemaining));
        if (faults_.disconnectActive && want >= faults_.disconnectRemaining) {
            want = uint32_t(faults_.disconnectRemaining);
            faults_.disconnectActive = false;
            disconnectPending_ = true;
        }
    }
    for (uint32_t i = 0; i < want; ++i) {
        uint8_t reg = readIncrement_ ? uint8_t((readRegister_ + i) & 0x7F) : readRegister_;
        buffer[i] = readRegister(reg, !readIncrement_);
    }
    if (imageData) {
        if (faults_.shortFromActive)
            faults_.shortFromRemaining -= want;
        if (faults_.disconnectActive)
            faults_.disconnectRemaining -= want;
        // Bytes the host asked for and did not get are lost with the failed transfer.
        for (uint32_t i = want; i < std::min(size, readRemaining_); ++i)
            readRegister(REG_DATA_PORT, true);
    }
    readRemaining_ -= std::min(size, readRemaining_);
    return want;
}

// Ports (data port, memory data port) act only in single-register transfers; an
// incrementing transfer that passes over them just latches or reads the register.
void Device::writeRegister(uint8_t reg, uint8_t value, bool port)
{
    regs_.set8(reg, value);
    switch (reg) {
    case REG_MEM_REGION:
    case REG_MEM_ADDR_HI:
    case REG_MEM_ADDR_LO:
        loadMemoryAddress();
        break;
    case REG_MEM_DATA:
        if (port) {
            if (std::vector<uint8_t>* m = region(regs_.get8(REG_MEM_REGION))) {
                (*m)[memAddress_ % m->size()] = value;
                memAddress_ = (memAddress_ + 1) % m->size();
            }
        }
        break;
    case REG_COMMAND:
        command(value);
        break;
    default:
        break;
    }
}

uint8_t Device::readRegister(uint8_t reg, bool port)
{
    switch (reg) {
    case REG_DATA_PORT:
        if (!port || !scanning_ || format_.bytes == 0)
            return 0;
        if (linePos_ >= line_.size()) {
            produceLine(line_);
            linePos_ = 0;
        }
        return line_[linePos_++];
    case REG_STATUS:
        return status();
    case REG_SENSORS:
        return sensorInputs();
    case REG_MEM_DATA:
        if (port) {
            if (std::vector<uint8_t>* m = region(regs_.get8(REG_MEM_REGION))) {
                uint8_t v = (*m)[memAddress_ % m->size()];
                memAddress_ = (memAddress_ + 1) % m->size();
                return v;
            }
            return 0;
        }
        return regs_.get8(reg);
    default:
        return regs_.get8(reg);
    }
}

void Device::loadMemoryAddress()
{
    memAddress_ = uint32_t(regs_.get8(REG_MEM_ADDR_HI)) << 8 | regs_.get8(REG_MEM_ADDR_LO);
    if (const std::vector<uint8_t>* m = region(regs_.get8(REG_MEM_REGION)))
        memAddress_ %= m->size();
}

std::vector<uint8_t>* Device::region(uint8_t id)
{
    auto it = memory_.find(id);
    return it == memory_.end() ? nullptr : &it->second;
}

const std::vector<uint8_t>* Device::region(uint8_t id) const
{
    auto it = memory_.find(id);
    return it == memory_.end() ? nullptr : &it->second;
}

uint16_t Device::memWord(uint8_t regionId, int index) const
{
    const std::vector<uint8_t>* m = region(regionId);
    if (!m || index < 0)
        return 0;
    size_t at = (size_t(index) * 2) % m->size();
    return uint16_t((*m)[at] << 8 | (*m)[at + 1]);
}

bool Device::readMemory(uint8_t regionId, uint32_t address, uint8_t* out, uint32_t length) const
{
    const std::vector<uint8_t>* m = region(regionId);
    if (!m || !out)
        return false;
    for (uint32_t i = 0; i < length; ++i)
        out[i] = (*m)[(address + i) % m->size()];
    return true;
}

void Device::command(uint8_t value)
{
    uint64_t now = nowMs();
    poweredDown_ = false;
    switch (value) {
    case CMD_STOP:
        stopScan();
        paper_.stopRun(now);
        break;
    case CMD_FORWARD:
        paper_.startRun(Run::Forward, now);
        break;
    case CMD_BACKWARD:
        paper_.startRun(Run::Backward, now);
        break;
    case CMD_SCAN:
        paper_.stopRun(now);
        startScan();
        break;
    case CMD_MOVE_STEPS:
        paper_.stopRun(now);
        paper_.step(regs_.get16(REG_STEP_COUNT));
        break;
    case CMD_POWER_DOWN:
        stopScan();
        paper_.stopRun(now);
        poweredDown_ = true;
        break;
    case CMD_RESET:
        stopScan();
        paper_.stopRun(now);
        regs_.clear();
        regs_.set8(REG_COMMAND, CMD_RESET);
        memAddress_ = 0;
        break;
    default:
        break; // other values start nothing
    }
    noteSheetLeft(now);
}

void Device::startScan()
{
    scanRegs_ = regs_;
    format_ = computeLineFormat();
    scanning_ = true;
    linesScanned_ = 0;
    line_.clear();
    linePos_ = 0;
    // With a sensor distance set, the chip first draws a sheet whose leading edge is at
    // or past the paper sensor until it is that many steps past it; a sheet already
    // further in does not move.
    uint16_t afterSensor = regs_.get16(REG_STEPS_AFTER_SENSOR);
    if (afterSensor && paper_.present()) {
        double past = paper_.lead() - PaperGeometry::SENSOR_POSITION;
        if (past >= 0 && past < afterSensor)
            paper_.step(afterSensor - past);
    }
    // The motor makes the programmed steps before the first line.
    paper_.step(regs_.get16(REG_STEP_COUNT));
}

void Device::stopScan()
{
    scanning_ = false;
    line_.clear();
    linePos_ = 0;
}

uint8_t Device::sensorInputs()
{
    uint64_t now = nowMs();
    paper_.update(now);
    noteSheetLeft(now);
    feedFromStack(now);
    bool paper = paper_.coversSensor();
    lastReadFoundSensorClear_ = !paper;
    if (faults_.sensorStuck >= 0)
        paper = faults_.sensorStuck != 0;
    if (faults_.sensorFlap) {
        flapState_ = !flapState_;
        paper = flapState_;
    }
    uint8_t v = 0;
    if (kind_ == Kind::Ccd) {
        if (!paper)
            v |= SENSOR_PAPER;
        if (buttons_[0])
            v |= SENSOR_CCD_BUTTON;
        return v;
    }
    if (paper)
        v |= SENSOR_PAPER;
    v |= kind_ == Kind::Cis1 ? SENSOR_CIS_VARIANT_A : SENSOR_CIS_VARIANT_B;
    if (buttons_[0]) v |= SENSOR_CIS_BUTTON_1;
    if (buttons_[1]) v |= SENSOR_CIS_BUTTON_2;
    if (buttons_[2]) v |= SENSOR_CIS_BUTTON_3;
    if (buttons_[3]) v |= SENSOR_CIS_BUTTON_OTHER;
    return v;
}

uint8_t Device::status() const
{
    uint8_t v = 0;
    if (scanning_) v |= STATUS_SCANNING;
    if (paper_.run() != Run::None) v |= STATUS_MOTOR;
    if (poweredDown_) v |= STATUS_POWER_DOWN;
    return v;
}

void Device::insertSheet(Sheet sheet)
{
    sheet_ = std::move(sheet);
    paper_.insert(sheet_.heightSteps());
}

void Device::stackSheet(Sheet sheet)
{
    stack_.push_back(std::move(sheet));
}

void Device::noteSheetLeft(uint64_t now)
{
    if (paper_.present())
        sheetLeftAtMs_ = 0;
    else if (sheetLeftAtMs_ == 0)
        sheetLeftAtMs_ = now;
}

// The user behind the feeder drops the next card in once the scanner has seen the
// last one clear the paper sensor (a sensor read found it uncovered) and the card has
// left, or a moment after it left; never while the motor turns. So a feed-out that
// checks the sensor right after its move finds it clear, and the next page's check
// finds the next card.
void Device::feedFromStack(uint64_t now)
{
    const uint64_t kHandDelayMs = 300;
    if (stack_.empty() || paper_.present() || paper_.run() != Run::None)
        return;
    if (!lastReadFoundSensorClear_ && now - sheetLeftAtMs_ < kHandDelayMs)
        return;
    insertSheet(std::move(stack_.front()));
    stack_.pop_front();
    sheetLeftAtMs_ = 0;
}

bool Device::setFault(int fault, uint32_t param)
{
    switch (fault) {
    case SCANSIM_FAULT_SHORT_EVERY: faults_.shortEvery = param; return true;
    case SCANSIM_FAULT_SHORT_FROM:
        faults_.shortFromActive = true;
        faults_.shortFromRemaining = param;
        return true;
    case SCANSIM_FAULT_DISCONNECT_AT:
        faults_.disconnectActive = true;
        faults_.disconnectRemaining = param;
        return true;
    case SCANSIM_FAULT_RECONNECT_AFTER: faults_.reconnectAfterOpens = param; return true;
    case SCANSIM_FAULT_JAM: paper_.jamAfter(param); return true;
    case SCANSIM_FAULT_SENSOR_STUCK: faults_.sensorStuck = param ? 1 : 0; return true;
    case SCANSIM_FAULT_SENSOR_FLAP: faults_.sensorFlap = true; return true;
    default: return false;
    }
}

void Device::clearFaults()
{
    faults_ = Faults();
    paper_.clearJam();
}

void Device::pressButton(int button, bool pressed)
{
    if (button >= 1 && button <= 4)
        buttons_[button - 1] = pressed;
}

bool Device::sensorPixel(int position, double& dark, double& sensitivity) const
{
    int s = position - geometry_.positionOffset;
    if (s < 0 || s >= geometry_.pixelCount)
        return false;
    dark = response_.dark[s];
    sensitivity = response_.sensitivity[s];
    return true;
}

} // namespace scansim
