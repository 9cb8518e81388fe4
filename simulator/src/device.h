// One simulated scanner: the controller's register file with its framing, command
// register, memory port, sensor inputs and image data port, the sensor and optics
// of its kind, and the paper path. It reacts to register traffic only.
#pragma once

#include "paper_path.h"
#include "register_image.h"
#include "sensor_model.h"
#include "sheet.h"

#include <stdint.h>
#include <deque>
#include <map>
#include <vector>

namespace scansim {

// The shape of the lines of a scan, fixed when the scan command starts.
struct LineFormat {
    int start = 0, end = 0;
    double ratio = 1.0;   // sensor pixels (and motor steps) per output pixel and line
    int bits = 8;         // per sample
    int channels = 1;
    int pixels = 0;       // per line
    uint32_t bytes = 0;   // per line
};

struct Faults {
    uint32_t shortEvery = 0;
    bool shortFromActive = false;
    uint64_t shortFromRemaining = 0;
    bool disconnectActive = false;
    uint64_t disconnectRemaining = 0;
    uint32_t reconnectAfterOpens = 0;
    int sensorStuck = -1;
    bool sensorFlap = false;
};

class Device {
public:
    Device(Kind kind, uint16_t vendorId, uint16_t productId);

    Kind kind() const { return kind_; }
    uint16_t vendorId() const { return vendorId_; }
    uint16_t productId() const { return productId_; }

    // The chip as after power-up (registers 0, memory cleared, identity gamma).
    void powerOn();
    // Bulk-out transfer: a sequence of framed chunks.
    void bulkOut(const uint8_t* data, uint32_t size);
    // Bulk-in transfer answering the last read header; returns the bytes delivered.
    uint32_t bulkIn(uint8_t* buffer, uint32_t size);
    // Set when a fault wants the device to vanish after the current transfer.
    bool disconnectPending() const { return disconnectPending_; }
    void clearDisconnectPending() { disconnectPending_ = false; }

    // Puts a sheet into the paper path now, in place of any there.
    void insertSheet(Sheet sheet);
    // Puts a sheet at the back of the feeder stack: it goes into the paper path once
    // the sheets before it have left and the scanner has seen them gone (feedFromStack).
    void stackSheet(Sheet sheet);
    void removeSheet() { paper_.remove(); }
    void pressButton(int button, bool pressed);
    // SCANSIM_FAULT_* of scansim.h; false for an unknown fault.
    bool setFault(int fault, uint32_t param);
    void clearFaults();
    const Faults& faults() const { return faults_; }
    PaperPath& paper() { return paper_; }
    const RegisterImage& registers() const { return regs_; }
    bool readMemory(uint8_t region, uint32_t address, uint8_t* out, uint32_t length) const;
    bool sensorPixel(int position, double& dark, double& sensitivity) const;

    bool scanning() const { return scanning_; }
    uint32_t linesScanned() const { return linesScanned_; }
    const LineFormat& lineFormat() const { return format_; }
    uint32_t protocolErrors() const { return protocolErrors_; }
    bool paperAtSensor() const { return paper_.coversSensor(); }

private:
    void writeRegister(uint8_t reg, uint8_t value, bool port);
    uint8_t readRegister(uint8_t reg, bool port);
    void command(uint8_t value);
    void startScan();
    void stopScan();
    void noteSheetLeft(uint64_t now);
    void feedFromStack(uint64_t now);
    uint8_t sensorInputs();
    uint8_t status() const;
    std::vector<uint8_t>* region(uint8_t id);
    const std::vector<uint8_t>* region(uint8_t id) const;
    uint16_t memWord(uint8_t regionId, int index) const;
    void loadMemoryAddress();

    // line_engine.cpp
    LineFormat computeLineFormat() const;
    void produceLine(std::vector<uint8_t>& out);
    double analogSample(int position, double row, int channel) const;
    double ledLight(int channel, const double reflect[3]) const;
    uint16_t chipPipeline(double analog, int group, int tableChannel) const;

    Kind kind_;
    uint16_t vendorId_, productId_;
    const SensorGeometry& geometry_;
    PixelResponse response_;
    RegisterImage regs_;
    RegisterImage scanRegs_; // the registers as the scan command found them
    std::map<uint8_t, std::vector<uint8_t>> memory_;
    uint32_t memAddress_ = 0;

    // Armed by a read header, consumed by bulk-in transfers.
    uint8_t readRegister_ = 0;
    uint32_t readRemaining_ = 0;
    bool readIncrement_ = false;

    bool scanning_ = false;
    bool poweredDown_ = false;
    LineFormat format_;
    std::vector<uint8_t> line_;
    size_t linePos_ = 0;
    uint32_t linesScanned_ = 0;
    uint64_t lineCounter_ = 0; // for noise, never reset

    PaperPath paper_;
    Sheet sheet_;
    std::deque<Sheet> stack_; // waiting behind sheet_
    uint64_t sheetLeftAtMs_ = 0;         // when the path last became empty (0: a sheet is in it)
    bool lastReadFoundSensorClear_ = false; // the last paper-sensor read found it uncovered
    bool buttons_[4] = {false, false, false, false};
    Faults faults_;
    bool flapState_ = false;
    uint32_t readCount_ = 0;
    bool disconnectPending_ = false;
    uint32_t protocolErrors_ = 0;
};

// Milliseconds of a monotonic clock: free runs of the motor advance with it.
uint64_t nowMs();

} // namespace scansim
