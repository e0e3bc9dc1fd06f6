#pragma once
// A three-component float vector with value semantics: every object owns its own
// 12-byte heap block, copies never share storage. Assignment and the compound
// operators return a copy (a further vector), not a reference.
// When its block can't be allocated the vector prints a one-line message and stays
// empty (`data` null): it never writes through the missing block, reads as (0, 0, 0).

class QVector {
public:
    QVector();                              // (0, 0, 0); "!Vector!No mem!\n" if storage fails
    QVector(float x, float y, float z);     // "Hi there!\n", then Set's line, if storage fails
    explicit QVector(const float* values);  // values: three floats x, y, z
    QVector(const QVector& other);
    ~QVector();

    void Set(const float* values);        // "Big hello!Strange NULL!\n" when empty
    void Set(float x, float y, float z);  // the same message when empty

    float Length() const;  // square root taken in double precision
    void Normalize();      // divides by Length(); a zero vector becomes non-finite
    float Dot(const QVector& other) const;
    float Dot(const float* values) const;
    QVector Cross(const QVector& other) const;  // this x other
    void Add(const QVector& other);
    void Subtract(const QVector& other);
    void Scale(float s);

    QVector operator=(const QVector& other);  // copies the values, returns a copy of this
    QVector operator=(const float* values);
    QVector operator+=(const QVector& other);
    QVector operator-=(const QVector& other);
    QVector operator*=(float s);
    QVector operator+(const QVector& other) const;
    QVector operator-(const QVector& other) const;
    QVector operator*(float s) const;
    float operator*(const QVector& other) const;  // dot product
    float operator*(const float* values) const;   // dot product with three floats
    float operator[](int index) const;            // x, y, z for 0, 1, 2; 0.0 for any other index

    float* GetData();  // the three floats themselves; null when empty

private:
    float Component(int i) const;  // 0.0 when empty

    float* data;  // x, y, z on the heap, owned; null only after a failed allocation
};
